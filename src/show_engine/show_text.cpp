#include "show_engine/show_text.h"

#include <istream>
#include <ostream>
#include <string>

namespace {

bool SkipKeyword(std::istream& in) {
  std::string word;
  return static_cast<bool>(in >> word);
}

bool ReadSigned(std::istream& in, int32_t& value) {
  int32_t read = 0;
  if (!(in >> read)) return false;
  value = read;
  return true;
}

// Formatted extraction would take "-1" for an unsigned field and wrap it to
// the type's maximum; a count of 4294967295 must not come from a typo.
template <typename Unsigned>
bool ReadUnsigned(std::istream& in, Unsigned& value) {
  in >> std::ws;
  if (in.peek() == '-') {
    in.setstate(std::ios::failbit);
    return false;
  }
  Unsigned read = 0;
  if (!(in >> read)) return false;
  value = read;
  return true;
}

bool ReadCueBody(std::istream& in, Cue& cue) {
  uint32_t count = 0;
  if (!SkipKeyword(in) || !ReadUnsigned(in, count)) return false;
  for (uint32_t i = 0; i < count; ++i) {
    CueValue value;
    int32_t level = 0;
    if (!ReadUnsigned(in, value.channel) || !ReadSigned(in, level)) return false;
    value.value = static_cast<uint8_t>(level);
    cue.values.push_back(value);
  }
  if (!SkipKeyword(in) || !ReadUnsigned(in, count)) return false;
  for (uint32_t i = 0; i < count; ++i) {
    OscillatorDef def;
    if (!ReadSigned(in, def.channel) || !ReadSigned(in, def.fineChannel) ||
        !ReadSigned(in, def.waveform) || !ReadUnsigned(in, def.period) ||
        !ReadSigned(in, def.phase) || !ReadUnsigned(in, def.amplitude) ||
        !ReadUnsigned(in, def.width)) {
      return false;
    }
    cue.oscillators.push_back(def);
  }
  return true;
}

bool ReadEntry(std::istream& in, CuelistEntry& entry) {
  if (!SkipKeyword(in) || !ReadSigned(in, entry.halt) || !ReadCueBody(in, entry.cue)) {
    return false;
  }
  uint32_t count = 0;
  if (!SkipKeyword(in) || !ReadUnsigned(in, count)) return false;
  for (uint32_t i = 0; i < count; ++i) {
    CueTiming timing;
    if (!ReadSigned(in, timing.extra) || !ReadSigned(in, timing.tag) ||
        !ReadSigned(in, timing.rise) || !ReadSigned(in, timing.fall) ||
        !ReadSigned(in, timing.hold)) {
      return false;
    }
    entry.timings.push_back(timing);
  }
  return true;
}

template <typename Element>
bool ReadTable(std::istream& in, std::vector<Element>& table) {
  uint32_t count = 0;
  if (!SkipKeyword(in) || !ReadUnsigned(in, count)) return false;
  for (uint32_t i = 0; i < count; ++i) {
    int32_t value = 0;
    if (!ReadSigned(in, value)) return false;
    table.push_back(static_cast<Element>(value));
  }
  return true;
}

template <typename Element>
void WriteTable(std::ostream& out, const char* keyword, const std::vector<Element>& table) {
  out << keyword << ' ' << table.size() << '\n';
  for (Element value : table) out << static_cast<int32_t>(value) << ' ';
  out << '\n';
}

}  // namespace

std::istream& ReadCuelist(std::istream& in, Cuelist& cuelist) {
  uint32_t count = 0;
  if (!SkipKeyword(in) || !ReadUnsigned(in, count)) return in;
  for (uint32_t i = 0; i < count; ++i) {
    CuelistEntry entry;
    if (!ReadEntry(in, entry)) return in;
    cuelist.entries.push_back(std::move(entry));
  }
  return in;
}

std::istream& ReadShow(std::istream& in, Show& show) {
  uint32_t count = 0;
  if (!SkipKeyword(in) || !ReadUnsigned(in, show.ENDP)) return in;
  if (!SkipKeyword(in) || !ReadUnsigned(in, count)) return in;
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t fadeIn = 0;
    uint32_t fadeOut = 0;
    Cue cue;
    if (!SkipKeyword(in) || !ReadUnsigned(in, fadeIn) || !ReadUnsigned(in, fadeOut) ||
        !ReadCueBody(in, cue)) {
      return in;
    }
    const int index = static_cast<int>(i);
    show.fadeIn[index] = static_cast<int>(fadeIn);
    show.fadeOut[index] = static_cast<int>(fadeOut);
    show.cues[index] = std::move(cue);
  }
  if (!SkipKeyword(in) || !ReadUnsigned(in, count)) return in;
  for (uint32_t j = 0; j < count; ++j) {
    Cuelist cuelist;
    // A list cut short would play different steps than the show meant.
    if (!ReadCuelist(in, cuelist)) return in;
    show.cuelists[static_cast<int>(j)] = std::move(cuelist);
  }
  if (!ReadTable(in, show.DefVals) || !ReadTable(in, show.ChTypes)) return in;
  ReadTable(in, show.ChSubtypes);
  return in;
}

std::ostream& WriteCue(std::ostream& out, const Cue& cue) {
  out << "Vals " << cue.values.size() << '\n';
  for (const CueValue& value : cue.values) {
    out << value.channel << ' ' << static_cast<uint32_t>(value.value) << '\n';
  }
  out << "Oscs " << cue.oscillators.size() << '\n';
  for (const OscillatorDef& def : cue.oscillators) {
    out << def.channel << ' ' << def.fineChannel << ' ' << def.waveform << ' ' << def.period
        << ' ' << def.phase << ' ' << def.amplitude << ' ' << def.width << '\n';
  }
  return out;
}

std::ostream& WriteCuelist(std::ostream& out, const Cuelist& cuelist) {
  out << "Cues " << cuelist.entries.size() << '\n';
  for (const CuelistEntry& entry : cuelist.entries) {
    out << "Cue " << entry.halt << '\n';
    WriteCue(out, entry.cue);
    out << "Timing " << entry.timings.size() << '\n';
    for (const CueTiming& timing : entry.timings) {
      out << timing.extra << ' ' << timing.tag << ' ' << timing.rise << ' ' << timing.fall << ' '
          << timing.hold << '\n';
    }
  }
  return out;
}

std::ostream& WriteShow(std::ostream& out, const Show& show) {
  out << "ENDP " << show.ENDP << '\n';
  out << "Cues " << show.cues.size() << '\n';
  for (const auto& [index, cue] : show.cues) {
    const auto fadeIn = show.fadeIn.find(index);
    const auto fadeOut = show.fadeOut.find(index);
    out << "Cue " << static_cast<uint32_t>(fadeIn == show.fadeIn.end() ? 0 : fadeIn->second) << ' '
        << static_cast<uint32_t>(fadeOut == show.fadeOut.end() ? 0 : fadeOut->second) << '\n';
    WriteCue(out, cue);
  }
  out << "Cuelists " << show.cuelists.size() << '\n';
  for (const auto& entry : show.cuelists) WriteCuelist(out, entry.second);
  WriteTable(out, "DefVals", show.DefVals);
  WriteTable(out, "ChTypes", show.ChTypes);
  WriteTable(out, "ChSubtypes", show.ChSubtypes);
  return out;
}
