#pragma once
// The identity, configuration and rules files are parsed into records apart
// from their effects; whatever makes a file unusable is reported the same way
// by all three, and only the start-up step that applies them ends the process.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct StartupError {
  uint32_t line = 0;    // from 1; 0 when the file as a whole is at fault
  std::string text;     // that line as read, line end included
  std::string reason;   // the fatal message, word for word as the front end knows it
};

// The records of every usable line before the first unusable one, and that
// line's error. The records before it are applied before the engine dies,
// so start-up shows the same effects and log lines up to the bad line.
template <typename Record>
struct StartupFile {
  std::vector<Record> records;
  std::optional<StartupError> error;
};

// Ends start-up through the fatal log (panic file, status 1).
void FailStartup(const StartupError& error);
