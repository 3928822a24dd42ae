#include "dmx_generator.h"

#include <glog/logging.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "support/fixed_field.h"
#include "show_engine/locked_engine.h"

namespace {

// Auto-start field values from 1000 up (only a negative field gives them)
// mean "load the show, play nothing until OSC says go".
constexpr uint32_t kNoAutoStart = 1000;

// The path runs to the end of the line, however long: a fixed buffer here
// would cut it or overrun.
std::string ShowPath(std::string_view text) {
  if (text.size() <= 6) return std::string();
  std::string_view path = text.substr(6);
  size_t end = path.find_first_of(std::string_view("\n\0", 2));
  return std::string(path.substr(0, end));
}

// The whole file in one read. The text handed on is what was really read,
// cut at the first NUL: show files saved by some tools carry a terminator.
bool ReadShowFile(const std::string& path, std::string* text) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    std::perror("Error");
    return false;
  }
  long size = std::fseek(file, 0, SEEK_END) == 0 ? std::ftell(file) : -1;
  if (size < 0) size = 0;
  VLOG(1) << "Vistro Pro Show is " << size << " bytes";
  text->assign(static_cast<size_t>(size), '\0');
  std::rewind(file);
  size_t got = size > 0 ? std::fread(&(*text)[0], 1, text->size(), file) : 0;
  std::fclose(file);
  text->resize(got);
  VLOG(2) << "Vistro Pro Show read into memory ";
  VLOG(2) << "Read Vistro show: " << path << ":" << size << " bytes";
  size_t nul = text->find('\0');
  if (nul != std::string::npos) text->resize(nul);
  return true;
}

}  // namespace

bool (*DmxGenerator::readShow)(const std::string& path, std::string* text) = ReadShowFile;

DmxGenerator::DmxGenerator(std::string_view text) : StreamEndpoint(kStreamGenerator) {
  long typeNumber = ReadFixedField(text, 0, 3);
  input = 0;
  switch (typeNumber) {
    case kGeneratorFixed:
      // A line that ends before its 512th group leaves the rest at 0.
      for (size_t k = 0; k < kDmxChannels; ++k) {
        values[k] = static_cast<uint8_t>(ReadFixedField(text, 3 + 3 * k, 3));
      }
      type = kGeneratorFixed;
      VLOG(2) << "Created DMX Generator Type 0 with values: " << static_cast<int>(values[0]) << " "
              << static_cast<int>(values[1]) << " " << static_cast<int>(values[2]) << " ...";
      break;
    case kGeneratorShowPlayer:
      type = kGeneratorShowPlayer;
      cueList = static_cast<uint32_t>(ReadFixedField(text, 3, 3));
      showPath = ShowPath(text);
      break;
    case kGeneratorOsc:
      type = kGeneratorOsc;
      VLOG(2) << "Created DMX Generator Type 2 with src address "
              << (text.size() > 3 ? std::string(text.substr(3)) : std::string());
      break;
    default:
      // Any other type carries zeros and is neither played nor OSC-driven.
      break;
  }
}

void DmxGenerator::Fill(uint8_t* data) const { std::memcpy(data, values, kDmxChannels); }

void DmxGenerator::LogStarted(const std::string& text) const {
  (void)text;
  LOG(INFO) << "Initialised DMX Generator";
}

void DmxGenerator::Init() {
  if (type != kGeneratorShowPlayer) return;
  engine = DmxEngine::GetInstance();
  std::string show;
  if (!readShow(showPath, &show)) {
    LOG(FATAL) << "Generator Vistro Engine can't open file[" << showPath << "]";
  }
  {
    // A second show-playing line loads while the player already runs frames.
    LockedEngine locked(*engine);
    locked.LoadShow(show);
    VLOG(1) << "Vistro Pro Show has: " << locked.GetCueCount() << " cues ";
    VLOG(1) << "Vistro Pro Show has: " << locked.GetCuelistCount() << " cue lists ";
  }
  input = 0;
  VLOG(2) << "Created DMX Generator Type 1 (Vistro) with show: " << showPath;
  if (cueList >= kNoAutoStart) {
    cueList = 0;
    VLOG(1) << "Vistro Pro Show not auto start cuelist ";
    return;
  }
  LockedEngine(*engine).GoCuelist(static_cast<int32_t>(cueList), 0, kFullLevel);
  VLOG(1) << "Vistro Pro Show running cue list " << cueList;
}

void DmxGenerator::CalculateFrame(Stream& stream) {
  if (type != kGeneratorShowPlayer) return;
  VLOG(3) << "Vistro Pro Calculate Frame ";
  WriteShowFrame(stream, true);
}

// The frame is copied out under the engine lock and written after it is
// released, so the stream's own mutex is never held together with it.
void DmxGenerator::WriteShowFrame(Stream& stream, bool advance) {
  if (engine == nullptr) return;
  uint8_t frame[kEngineChannels];
  {
    LockedEngine locked(*engine);
    if (advance) locked.CalculateFrame();
    locked.CopyOutputFrame(frame);
  }
  stream.Write(frame, kDmxChannels, 0);
  VLOG(4) << "V-pro [1]:" << static_cast<char>(stream.data[0])
          << "[2]:" << static_cast<char>(stream.data[1])
          << "[3]:" << static_cast<char>(stream.data[2])
          << "[4]:" << static_cast<char>(stream.data[3]);
}
