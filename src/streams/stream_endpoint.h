#pragma once
// What a stream's kind adds to the channel buffer every stream has: its
// settings and its way to a device, a show or the network. A stream owns one
// endpoint, of its own kind, and asks it whatever differs by kind.
#include <cstdint>
#include <string>

#include "dmx_types.h"
#include "protocols/datagram_sender.h"

// A Ledrunner port's pixel frame: the largest channel buffer of any stream.
constexpr uint32_t kLedrunnerFrameSize = 1020;

class Stream;

class StreamEndpoint {
 public:
  // A kind with nothing of its own (a virtual stream) needs no more than this.
  explicit StreamEndpoint(uint32_t streamKind) : kind(streamKind) {}
  StreamEndpoint(const StreamEndpoint&) = delete;
  StreamEndpoint& operator=(const StreamEndpoint&) = delete;
  virtual ~StreamEndpoint() = default;

  const uint32_t kind;  // a StreamKind

  // The size of the stream's channel buffer.
  virtual uint32_t Channels() const { return kDmxChannels; }
  // What the buffer holds before anything is written.
  virtual void Fill(uint8_t* data) const { (void)data; }

  // Start-up, once, before the stream joins the table: opens the device or
  // loads the show. Whatever the kind cannot run without ends the process.
  virtual void Init() {}
  // The line the configuration reader logs once the stream is started;
  // `text` is the line after its letter.
  virtual void LogStarted(const std::string& text) const { (void)text; }

  virtual bool IsInput() const { return false; }
  // Whether Send ever transmits for this stream.
  virtual bool SendsData() const { return false; }
  // Carries a changed (or forced) stream to its destination; false when the
  // kind has none, and the stream then clears its own flag.
  virtual bool Send(Stream& stream, SendFunction send) {
    (void)stream;
    (void)send;
    return false;
  }
  virtual void SetOneShot(const Stream& stream) { (void)stream; }
  // The show player's frame step.
  virtual void CalculateFrame(Stream& stream) { (void)stream; }
};
