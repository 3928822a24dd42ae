#pragma once
// The records of a show as the show software saves them: cues, cue lists
// with their timings, and the per-channel tables. Plain values; copies are
// deep, so a cue-list layer can keep its own list while the show changes.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct CueValue {
  uint16_t channel = 0;  // may be 512 or more in a file; checked where used
  uint8_t value = 0;
};

struct OscillatorDef {
  int32_t channel = 0;
  int32_t fineChannel = -1;  // -1: none
  int32_t waveform = 0;      // 0 sine, 1 square, 2 triangle, 3 ramp up, else ramp down
  uint32_t period = 0;       // ms; 0 keeps the oscillator's period
  int32_t phase = 0;         // 0..65535 = one cycle
  uint16_t amplitude = 0;    // 1000 = full swing
  uint16_t width = 0;        // square wave high share, percent
};

struct Cue {
  std::vector<CueValue> values;
  std::vector<OscillatorDef> oscillators;
};

// tag and extra belong to the show software; playback carries them only.
struct CueTiming {
  int32_t tag = 0;
  int32_t rise = 0;
  int32_t hold = 0;
  int32_t fall = 0;  // negative: stay at the cue value after the hold
  int32_t extra = 0;
};

struct CuelistEntry {
  int32_t spareWord = 0;
  std::string spareText1;
  std::string spareText2;
  Cue cue;
  std::vector<CueTiming> timings;  // indexed by channel type
  int32_t halt = 0;                // only 1 halts
};

struct Cuelist {
  std::string name;
  std::vector<CuelistEntry> entries;
};

struct Show {
  uint32_t ENDP = 1;
  std::map<int, Cue> cues;
  std::map<int, Cuelist> cuelists;
  std::map<int, int> fadeIn;
  std::map<int, int> fadeOut;
  std::vector<uint8_t> DefVals;
  std::vector<uint8_t> ChTypes;
  std::vector<int32_t> ChSubtypes;
};

// An entry lasts as long as its longest rise + hold; never below 0.
int32_t EntryLength(const CuelistEntry& entry);

// A cue's fade-in or fade-out in ms, 0 when the cue has none. The text holds
// them unsigned; a time beyond the i32 range fades as long as it can rather
// than turning negative and cutting in at once.
int32_t FadeTimeOf(const std::map<int, int>& times, int id);

bool operator==(const CueValue& a, const CueValue& b);
bool operator==(const OscillatorDef& a, const OscillatorDef& b);
bool operator==(const Cue& a, const Cue& b);
bool operator==(const CueTiming& a, const CueTiming& b);
bool operator==(const CuelistEntry& a, const CuelistEntry& b);
bool operator==(const Cuelist& a, const Cuelist& b);
bool operator==(const Show& a, const Show& b);
