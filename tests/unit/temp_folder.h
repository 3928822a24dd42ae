#pragma once
// A folder of one test's own, made fresh under the test temporary directory
// and removed with all it holds when the test ends, so no test leaves files
// behind or reads another's.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

class TempFolder {
 public:
  TempFolder() : path_(::testing::TempDir() + "corvanta-test-XXXXXX") {
    if (mkdtemp(path_.data()) == nullptr) ADD_FAILURE() << "cannot make " << path_;
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  std::string Path(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};
