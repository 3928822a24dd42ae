#pragma once
// Files the tests read back whole: what the engine wrote, or the reference
// examples they hold the engine to.
#include <fstream>
#include <iterator>
#include <string>

// The whole file, byte for byte; empty when it cannot be read.
inline std::string FileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The show that examples/show plays and docs/files.md describes.
inline std::string ShowExampleText() {
  return FileText(std::string(CORVANTA_EXAMPLES) + "/show/show.txt");
}
