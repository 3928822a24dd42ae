#include "support/line_reader.h"

#include <cstdio>

bool LineReader::Next(std::string_view* line) {
  if (pos_ >= text_.size() || bufferSize_ < 2) return false;
  size_t max = bufferSize_ - 1;
  size_t end = pos_;
  while (end < text_.size() && end - pos_ < max) {
    if (text_[end++] == '\n') break;
  }
  *line = text_.substr(pos_, end - pos_);
  pos_ = end;
  return true;
}

bool ReadWholeFile(const char* path, std::string* contents) {
  FILE* f = std::fopen(path, "rb");
  if (f == nullptr) return false;
  contents->clear();
  char chunk[4096];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof(chunk), f)) > 0) contents->append(chunk, n);
  std::fclose(f);
  return true;
}
