#include "support/status_file.h"

#include <fcntl.h>
#include <glog/logging.h>
#include <unistd.h>

#include <cstdio>

namespace {
// Room for the longest status file path with the suffix below.
constexpr size_t kMaxPath = 128;
constexpr char kNewSuffix[] = ".new";
}  // namespace

void RewriteStatusFile(const char* path, const char* openFailure, void (*write)(FILE* out)) {
  char newPath[kMaxPath];
  int n = std::snprintf(newPath, sizeof(newPath), "%s%s", path, kNewSuffix);
  if (n < 0 || static_cast<size_t>(n) >= sizeof(newPath)) LOG(FATAL) << openFailure;
  // A run that ended between making the file and renaming it leaves one
  // behind. Made afresh (O_EXCL), it is never a link someone else planted,
  // and its mode follows the umask as the file it replaces did.
  unlink(newPath);
  int fd = open(newPath, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  FILE* out = fd < 0 ? nullptr : fdopen(fd, "w");
  if (out == nullptr) {
    if (fd >= 0) close(fd);
    LOG(FATAL) << openFailure;
  }
  write(out);
  bool whole = std::ferror(out) == 0;
  whole = std::fclose(out) == 0 && whole;
  if (!whole || std::rename(newPath, path) != 0) unlink(newPath);
}
