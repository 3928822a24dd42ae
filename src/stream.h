#pragma once
// A stream is one DMX universe of the gateway: a channel buffer bound to one
// source or destination. All data enters a stream through the write
// operations here, which keep its counters and its changed flag; the main
// loop sends each changed stream once per pass.
#include <sys/time.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "dmx_types.h"
#include "protocols/datagram_sender.h"
#include "streams/stream_endpoint.h"

enum StreamKind : uint32_t {
  kStreamPort = 0,
  kStreamNetwork = 1,
  kStreamVirtual = 2,
  kStreamNxb = 3,
  kStreamGenerator = 4,
  kStreamLedrunnerPort = 5,
};

enum NetProtocol : uint32_t {
  kProtocolNone = 0,
  kProtocolArtnet = 1,
  kProtocolQsp = 2,
  kProtocolSacn = 3,
  kProtocolKinet = 4,
};

class Stream {
 public:
  // The stream takes its kind from the endpoint it owns.
  Stream(uint32_t id, std::unique_ptr<StreamEndpoint> endpoint);
  Stream(const Stream&) = delete;
  Stream& operator=(const Stream&) = delete;

  // Copies `length` bytes into the buffer from channel 1 when they differ.
  // stampFirst 1 renews lastChange even when nothing changed.
  void Write(const uint8_t* bytes, uint32_t length, uint32_t stampFirst);
  // Write with stampFirst 0, for the Art-Net receiver.
  void WriteFrom(const uint8_t* bytes, uint32_t length, struct in_addr sender);
  // One channel.
  void WriteAt(uint32_t index, uint8_t value);
  // `count` channels from `offset` on.
  void WriteAt(const uint8_t* source, uint32_t count, uint32_t offset);
  // Highest-takes-precedence merge of two buffers into channels 0..count-1.
  void MergeHtp(const uint8_t* source1, const uint8_t* source2, uint32_t count);

  // The endpoint of this stream when it is of kind Kind::kKind, else null.
  template <typename Kind>
  Kind* As() {
    return kind == Kind::kKind ? static_cast<Kind*>(endpoint_.get()) : nullptr;
  }
  template <typename Kind>
  const Kind* As() const {
    return kind == Kind::kKind ? static_cast<const Kind*>(endpoint_.get()) : nullptr;
  }
  StreamEndpoint& Endpoint() { return *endpoint_; }

  bool IsInput() const { return endpoint_->IsInput(); }

  // Sends the stream when it changed or when forced. A stream that really
  // sends clears its flag together with taking its data. Datagrams leave
  // through `send`: the sockets, or a test's capture.
  void Send(uint32_t force, uint32_t klock, SendFunction send = SendDatagram);
  // Whether Send ever transmits for this stream (an output of a kind that
  // has a destination). The main loop clears the flag of the others.
  bool SendsData() const { return endpoint_->SendsData(); }
  // Switches an output port to one-shot sending (Klock mode).
  void SetOneShot() { endpoint_->SetOneShot(*this); }

  // Show player frame step: only a show-playing generator has one.
  void CalculateFrame() { endpoint_->CalculateFrame(*this); }

  // The line a kind's Send leaves before it takes the data.
  void LogSend() const;
  // Clears the flag and copies `length` bytes of data into `out` as one step,
  // so that a write landing during the send is sent on the next pass.
  void TakeForSend(uint8_t* out, uint32_t length);

  void ClearChanged();
  bool IsChanged() const { return changed.load(std::memory_order_acquire) != 0; }

  // What the rule pass sees of a stream: one whole frame and whether it
  // changed, the same for every rule of the pass.
  struct RuleView {
    uint8_t data[kLedrunnerFrameSize] = {};
    bool changed = false;
    struct timeval lastChange = {};
    uint32_t pass = 0;
    bool fresh = false;
  };
  // Main thread only. Copies the frame and takes the flag in one step, so a
  // write landing after it stays flagged for the next pass. A stream that
  // sends keeps its flag: the send takes it.
  const RuleView& TakeForRules();
  // A rule wrote the stream: a later rule of the same pass must see that.
  void ForgetTaken() { ruleView.fresh = false; }
  // Clears the flag unless the rule pass already took it: a flag raised
  // since then belongs to the next pass.
  void ClearUntaken();
  // A whole-frame copy of the data for other threads (QSP stream replies).
  void CopyData(uint8_t* out, uint32_t length);
  // Stores a rule's computed channels 0..length-1 where they differ; counts
  // one write when the flag is set afterwards. changeCount and lastChange
  // stay as they are.
  void WriteComputed(const uint8_t* bytes, uint32_t length);

  uint32_t writeCount = 0;
  uint32_t bufferSize = kDmxChannels;
  uint32_t changeCount = 0;
  uint32_t statsId = 0;
  // The channel buffer: the stream's own storage below.
  uint8_t* data = nullptr;
  // Set and cleared under changedMutex, which also covers `data`, the
  // counters and lastChange, so a frame is always written and read whole.
  std::atomic<uint8_t> changed{0};
  std::mutex changedMutex;
  uint32_t id = 0;
  // The endpoint's kind, fixed with it: readers need not reach through it.
  const uint32_t kind;
  struct timeval lastChange = {};

  // Real size of `data`: 512, or 1020 for a Ledrunner PORT stream. Every
  // write is bounded by it.
  uint32_t dataSize = kDmxChannels;

 private:
  std::unique_ptr<StreamEndpoint> endpoint_;
  std::unique_ptr<uint8_t[]> dataStorage_;

  void CopyLocked(uint8_t* out, uint32_t length) const;
  // Counts the write and copies the bytes (clipped to the buffer) when they
  // differ; true when something changed.
  bool CopyIfChanged(const uint8_t* bytes, uint32_t length);

  RuleView ruleView;
};

// Starts a new rule pass: every stream is taken afresh by its first reader.
void BeginRulePass();

constexpr uint32_t kStreamTableSize = 256;
extern Stream* StreamTable[kStreamTableSize];
extern std::atomic<uint32_t> StreamCount;
