#include "rule.h"

#include <glog/logging.h>

#include <algorithm>
#include <cstring>
#include <iterator>

#include "support/clock.h"
#include "support/fixed_field.h"
#include "streams/stream_table.h"

Rule* RuleTable[kRuleTableSize];
uint32_t RuleCount;

namespace {

// Ledrunner rules pack 170 pixels of 3 bytes per source universe, so the
// last two channels of a source are never used.
constexpr uint32_t kLedrunnerSourceChannels = 510;
// A Ledrunner A rule must leave at least one pixel to copy.
constexpr uint32_t kLedrunnerAMaxStart = kLedrunnerSourceChannels - 3;

uint32_t Field(std::string_view text, size_t pos) {
  // Negative numbers wrap on purpose: the load checks and the run-time
  // bounds then treat them as far out of range.
  return static_cast<uint32_t>(ReadFixedField(text, pos, 3));
}

// The load check covers only s1, s2 and d1, so every stream a rule names is
// looked up through StreamAt, which bounds it, where it is used. Here: the
// byte at `channel` of stream `index`, or false when either is out of range.
bool ReadControl(uint32_t index, uint32_t channel, uint8_t* value) {
  Stream* s = StreamAt(index);
  if (s == nullptr || channel >= kDmxChannels) return false;
  *value = s->TakeForRules().data[channel];
  return true;
}

void ForgetTakenAt(uint32_t index) {
  if (Stream* s = StreamAt(index)) s->ForgetTaken();
}

const char* AddedText(uint32_t kind) {
  switch (kind) {
    case kRuleForward:
      return "Added Forward rule with ";
    case kRuleCopy:
      return "Adding Copy rule with ";
    case kRuleHtp:
      return "Adding HTP rule with ";
    case kRuleLtp:
      return "Adding LTP rule with ";
    case kRulePriority:
      return "Adding Priority rule with ";
    case kRuleSwitch:
      return "Adding Switch rule with ";
    case kRuleSwitch2To1:
      return "Adding Switch 2 to 1 rule with ";
    case kRuleCompressor:
      return "Adding compressor rule with ";
    case kRuleLedrunnerA:
      return "Added Ledrunner A rule with ";
    case kRuleLedrunnerB:
      return "Added Ledrunner B rule with ";
    default:
      return nullptr;
  }
}

}  // namespace

Rule::Rule(uint32_t ruleKind, std::string_view text) : kind(ruleKind) {
  ParseFields(text);
  const char* added = AddedText(kind);
  // Ledrunner A announces itself only once it has passed its check.
  if (added != nullptr && kind != kRuleLedrunnerA) LOG(INFO) << added << text;

  bool valid = true;
  switch (kind) {
    case kRuleCopy:
      valid = s1Start < kDmxChannels && d1Start < kDmxChannels && count <= kDmxChannels;
      break;
    case kRuleHtp:
    case kRuleLtp:
      valid = count <= kDmxChannels;
      break;
    case kRuleLedrunnerA:
      valid = s1Start <= kLedrunnerAMaxStart;
      break;
    default:
      break;
  }
  if (!valid) {
    // Both texts end in two blanks, kept byte for byte for whoever reads
    // the log.
    LOG(INFO) << (kind == kRuleLedrunnerA ? "Invalid Ledrunner A Rule, removed  "
                                          : "Invalid Rule, removed  ");
    kind = kRuleDisabled;
    return;
  }
  if (kind == kRuleLedrunnerA) LOG(INFO) << added << text;
  if (kind == kRuleLtp) {
    prevS1.reset(new uint8_t[kDmxChannels]());
    prevS2.reset(new uint8_t[kDmxChannels]());
  }
}

void Rule::ParseFields(std::string_view text) {
  // Where each number of a line sits, per kind, counted from the first
  // character after the letter(s).
  struct FieldAt {
    uint32_t Rule::*field;
    size_t pos;
  };
  static const FieldAt kForward[] = {{&Rule::s1, 0}, {&Rule::d1, 4}};  // 3 is a separator
  static const FieldAt kCopy[] = {
      {&Rule::s1, 0}, {&Rule::s1Start, 3}, {&Rule::d1, 6}, {&Rule::d1Start, 9}, {&Rule::count, 12}};
  static const FieldAt kMerge[] = {{&Rule::s1, 0}, {&Rule::s2, 3}, {&Rule::d1, 6}, {&Rule::count, 9}};
  static const FieldAt kPriority[] = {
      {&Rule::s1, 0}, {&Rule::s2, 3}, {&Rule::d1, 6}, {&Rule::timeout, 9}};
  static const FieldAt kSwitch[] = {{&Rule::switchSource, 0}, {&Rule::switchA, 3},
                                    {&Rule::switchB, 6},      {&Rule::controlStream, 9},
                                    {&Rule::controlChannel, 12}, {&Rule::threshold, 15}};
  static const FieldAt kSwitch2To1[] = {{&Rule::switchA, 0},       {&Rule::switchB, 3},
                                        {&Rule::switchDest, 6},    {&Rule::controlStream, 9},
                                        {&Rule::controlChannel, 12}, {&Rule::threshold, 15}};
  static const FieldAt kCompressor[] = {{&Rule::s1, 0},
                                        {&Rule::d1, 3},
                                        {&Rule::compControlStream, 6},
                                        {&Rule::compControlChannel, 9}};
  static const FieldAt kLedrunnerA[] = {{&Rule::d1, 0}, {&Rule::s1, 3}, {&Rule::s1Start, 6}};
  static const FieldAt kLedrunnerB[] = {{&Rule::d1, 0}, {&Rule::s1, 3}, {&Rule::s2, 6}};
  struct Layout {
    const FieldAt* fields;
    size_t count;
  };
  auto layout = [](const auto& fields) { return Layout{fields, std::size(fields)}; };

  Layout l = {nullptr, 0};
  switch (kind) {
    case kRuleForward:
      l = layout(kForward);
      break;
    case kRuleCopy:
      l = layout(kCopy);
      break;
    case kRuleHtp:
    case kRuleLtp:
      l = layout(kMerge);
      break;
    case kRulePriority:
      l = layout(kPriority);
      break;
    case kRuleSwitch:
      l = layout(kSwitch);
      break;
    case kRuleSwitch2To1:
      l = layout(kSwitch2To1);
      break;
    case kRuleCompressor:
      l = layout(kCompressor);
      count = kDmxChannels;
      break;
    case kRuleLedrunnerA:
      l = layout(kLedrunnerA);
      break;
    case kRuleLedrunnerB:
      l = layout(kLedrunnerB);
      break;
    default:
      break;
  }
  for (size_t i = 0; i < l.count; ++i) this->*(l.fields[i].field) = Field(text, l.fields[i].pos);
}

uint32_t Rule::Check() const {
  VLOG(4) << "Rule Check S1:" << s1 << " S2:" << s2 << " D1:" << d1;
  return std::max({s1, s2, d1});
}

void Rule::Process(uint32_t force) {
  VLOG(4) << "Processing rule " << static_cast<int32_t>(kind) << " id1: " << s1
          << " dest:" << d1;
  switch (kind) {
    case kRuleForward:
      ProcessForward(force);
      break;
    case kRuleCopy:
      ProcessCopy(force);
      break;
    case kRuleHtp:
      ProcessHtp(force);
      break;
    case kRuleLtp:
      ProcessLtp();
      break;
    case kRulePriority:
      ProcessPriority();
      break;
    case kRuleSwitch:
    case kRuleSwitch2To1:
      ProcessSwitch();
      break;
    case kRuleCompressor:
      ProcessCompressor();
      break;
    case kRuleLedrunnerA:
      ProcessLedrunnerA(force);
      break;
    case kRuleLedrunnerB:
      ProcessLedrunnerB(force);
      break;
    default:
      return;  // disabled
  }
  // What this rule wrote is read afresh by the rules after it in the pass.
  if (kind == kRuleSwitch) {
    ForgetTakenAt(switchA);
    ForgetTakenAt(switchB);
  } else {
    ForgetTakenAt(kind == kRuleSwitch2To1 ? switchDest : d1);
  }
}

void Rule::ProcessForward(uint32_t force) {
  Stream* src = StreamAt(s1);
  Stream* dst = StreamAt(d1);
  if (src == nullptr || dst == nullptr) return;
  const Stream::RuleView& from = src->TakeForRules();
  if (!from.changed && force == 0) return;
  VLOG(2) << "Forward Rule from :" << s1 << " to " << d1;
  dst->Write(from.data, kDmxChannels, 0);
}

void Rule::ProcessCopy(uint32_t force) {
  Stream* src = StreamAt(s1);
  Stream* dst = StreamAt(d1);
  if (src == nullptr || dst == nullptr || s1Start >= src->dataSize) return;
  const Stream::RuleView& from = src->TakeForRules();
  if (!from.changed && force == 0) return;
  VLOG(2) << "Copy Rule from :" << s1 << " to " << d1;
  // The range may run past the end of either buffer: copy what exists. The
  // destination side is clipped by WriteAt. The source is the pass's own
  // copy, so a copy within one stream is right when the ranges overlap.
  uint32_t n = std::min({count, src->dataSize - s1Start, kDmxChannels});
  dst->WriteAt(from.data + s1Start, n, d1Start);
}

void Rule::ProcessHtp(uint32_t force) {
  Stream* src1 = StreamAt(s1);
  Stream* src2 = StreamAt(s2);
  Stream* dst = StreamAt(d1);
  if (src1 == nullptr || src2 == nullptr || dst == nullptr) return;
  VLOG(4) << "S1 " << static_cast<const void*>(src1) << " " << static_cast<const void*>(src2);
  const Stream::RuleView& a = src1->TakeForRules();
  const Stream::RuleView& b = src2->TakeForRules();
  if (!a.changed && !b.changed && force == 0) return;
  VLOG(2) << "HTP Rule from : " << s1 << " and " << s2 << " to" << d1;
  dst->MergeHtp(a.data, b.data, std::min(count, kDmxChannels));
}

void Rule::ProcessLtp() {
  Stream* src1 = StreamAt(s1);
  Stream* src2 = StreamAt(s2);
  Stream* dst = StreamAt(d1);
  if (src1 == nullptr || src2 == nullptr || dst == nullptr || !prevS1 || !prevS2) return;
  VLOG(2) << "LTP Rule from :" << s1 << " and " << s2 << " to" << d1;
  // Compared with the rule's own copies rather than the changed flags, so a
  // change is seen whatever was sent in between.
  const uint8_t* a = src1->TakeForRules().data;
  const uint8_t* b = src2->TakeForRules().data;
  for (uint32_t i = 0; i < kDmxChannels; ++i) {
    if (a[i] != prevS1[i]) {
      ltpOutput[i] = a[i];
      prevS1[i] = a[i];
      prevS2[i] = b[i];  // S1 wins a tie, and S2's value is not held back
    } else if (b[i] != prevS2[i]) {
      ltpOutput[i] = b[i];
      prevS2[i] = b[i];
    }
  }
  dst->Write(ltpOutput, kDmxChannels, 0);
}

void Rule::ProcessPriority() {
  Stream* src1 = StreamAt(s1);
  Stream* src2 = StreamAt(s2);
  Stream* dst = StreamAt(d1);
  if (src1 == nullptr || src2 == nullptr || dst == nullptr) return;
  VLOG(2) << "Priority Rule from :" << s1 << " and " << s2 << " to" << d1;
  // Whole seconds only: S1 keeps the output through the second of its last
  // change and `timeout` more.
  const Stream::RuleView& first = src1->TakeForRules();
  const Stream::RuleView& second = src2->TakeForRules();
  uint32_t now = static_cast<uint32_t>(ClockNow().tv_sec);
  uint32_t until = static_cast<uint32_t>(first.lastChange.tv_sec) + timeout;
  dst->Write(now > until ? second.data : first.data, kDmxChannels, 0);
}

// Both switch kinds: Switch sends one source to A or B, Switch 2 to 1 sends
// A or B to one destination, chosen by one control channel.
void Rule::ProcessSwitch() {
  uint8_t control = 0;
  if (!ReadControl(controlStream, controlChannel, &control)) return;
  bool single = kind == kRuleSwitch;
  uint32_t fixed = single ? switchSource : switchDest;
  if (StreamAt(switchA) == nullptr || StreamAt(switchB) == nullptr || StreamAt(fixed) == nullptr) {
    return;
  }
  bool active = control >= threshold;
  uint32_t chosen = active ? switchB : switchA;
  uint32_t from = single ? fixed : chosen;
  uint32_t to = single ? chosen : fixed;
  if (single) {
    VLOG(2) << (active ? "Switch 1 to 2 Rule [active]from : "
                       : "Switch 1 to 2 Rule [inactive] from : ")
            << from << " to" << to;
  } else {
    VLOG(2) << (active ? "Switch 2 to 1 Rule [active] from : "
                       : "Switch 2 to 1 Rule [inactive] from : ")
            << from << " to " << to;
  }
  StreamAt(to)->Write(StreamAt(from)->TakeForRules().data, kDmxChannels, 0);
}

void Rule::ProcessCompressor() {
  uint8_t level = 0;
  if (!ReadControl(compControlStream, compControlChannel, &level)) return;
  Stream* src = StreamAt(s1);
  Stream* dst = StreamAt(d1);
  if (src == nullptr || dst == nullptr) return;
  VLOG(2) << "Compressor Rule from :" << s1 << " to " << d1 << " with control as "
          << compControlStream;
  uint32_t n = std::min(count, kDmxChannels);
  const uint8_t* in = src->TakeForRules().data;
  uint8_t out[kDmxChannels];
  for (uint32_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(in[i] * level / 255u);
  // Counts as a write like an HTP merge: only when there is something to
  // send; changeCount and lastChange stay as they are.
  dst->WriteComputed(out, n);
}

void Rule::ProcessLedrunnerA(uint32_t force) {
  Stream* src = StreamAt(s1);
  Stream* dst = StreamAt(d1);
  if (src == nullptr || dst == nullptr || s1Start > kLedrunnerAMaxStart) return;
  const Stream::RuleView& from = src->TakeForRules();
  if (!from.changed && force == 0) return;
  VLOG(2) << "Ledrunner Rule from :" << s1 << " to " << d1;
  dst->Write(from.data + s1Start, kLedrunnerSourceChannels - s1Start, 0);
}

void Rule::ProcessLedrunnerB(uint32_t force) {
  Stream* src1 = StreamAt(s1);
  Stream* src2 = StreamAt(s2);
  Stream* dst = StreamAt(d1);
  if (src1 == nullptr || src2 == nullptr || dst == nullptr) return;
  const Stream::RuleView& a = src1->TakeForRules();
  const Stream::RuleView& b = src2->TakeForRules();
  if (!a.changed && !b.changed && force == 0) return;
  VLOG(2) << "Ledrunner Rule from :" << s1 << "," << s2 << " to " << d1;
  // A 1020-byte pixel frame: S1 fills the first half, S2 the second. A
  // destination that is not a pixel port keeps what fits (WriteAt clips).
  dst->Write(a.data, kLedrunnerSourceChannels, 0);
  dst->WriteAt(b.data, kLedrunnerSourceChannels, kLedrunnerSourceChannels);
}

void ClearRuleTable() {
  for (uint32_t i = 0; i < RuleCount && i < kRuleTableSize; ++i) {
    delete RuleTable[i];
    RuleTable[i] = nullptr;
  }
  RuleCount = 0;
}
