#pragma once
// Splits a text into lines the way fgets does with a buffer of `bufferSize`
// bytes: a line ends after its newline, or after bufferSize - 1 characters,
// in which case the rest of the line comes as the next line. The files we
// read are small and are read whole first, so the parsers work on plain text.
#include <cstddef>
#include <string>
#include <string_view>

class LineReader {
 public:
  LineReader(std::string_view text, size_t bufferSize)
      : text_(text), bufferSize_(bufferSize) {}

  // Next line, or false at the end of the text.
  bool Next(std::string_view* line);

 private:
  std::string_view text_;
  size_t bufferSize_;
  size_t pos_ = 0;
};

// Whole file, or false when it cannot be opened.
bool ReadWholeFile(const char* path, std::string* contents);
