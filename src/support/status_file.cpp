#include "support/status_file.h"

#include <fcntl.h>
#include <glog/logging.h>
#include <limits.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace {
constexpr char kNewSuffix[] = ".new";
// The kernel gives up on a path after as many links.
constexpr int kMaxLinkHops = 40;

// The file `path` names once every symbolic link on its last component is
// followed; a relative link counts from the folder of the link. False when
// there is no such file name (too long, or links that go round), as opening
// the path would fail.
bool FollowLinks(const char* path, char (&target)[PATH_MAX]) {
  size_t length = std::strlen(path);
  if (length >= sizeof(target)) return false;
  std::memcpy(target, path, length + 1);
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    char link[PATH_MAX];
    ssize_t n = readlink(target, link, sizeof(link));
    // Not a link, or nothing there yet: this is the file. Anything else the
    // open or the rename below reports.
    if (n < 0) return true;
    if (static_cast<size_t>(n) >= sizeof(link)) return false;
    size_t folder = 0;
    if (link[0] != '/') {
      const char* slash = std::strrchr(target, '/');
      if (slash != nullptr) folder = static_cast<size_t>(slash - target) + 1;
    }
    if (folder + static_cast<size_t>(n) >= sizeof(target)) return false;
    std::memcpy(target + folder, link, static_cast<size_t>(n));
    target[folder + static_cast<size_t>(n)] = '\0';
  }
  return false;
}
}  // namespace

bool TryRewriteStatusFile(const char* path, void (*write)(FILE* out)) {
  char target[PATH_MAX];
  if (!FollowLinks(path, target)) return false;
  char newPath[PATH_MAX];
  int n = std::snprintf(newPath, sizeof(newPath), "%s%s", target, kNewSuffix);
  if (n < 0 || static_cast<size_t>(n) >= sizeof(newPath)) return false;
  // A run that ended between making the file and renaming it leaves one
  // behind. Made afresh (O_EXCL), it is never a link someone else planted,
  // and its mode follows the umask as the file it replaces did.
  unlink(newPath);
  int fd = open(newPath, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  FILE* out = fd < 0 ? nullptr : fdopen(fd, "w");
  if (out == nullptr) {
    if (fd >= 0) close(fd);
    return false;
  }
  write(out);
  bool whole = std::ferror(out) == 0;
  whole = std::fclose(out) == 0 && whole;
  if (!whole) {
    unlink(newPath);
    return true;
  }
  if (std::rename(newPath, target) != 0) {
    unlink(newPath);
    return false;
  }
  return true;
}

void RewriteStatusFile(const char* path, const char* openFailure, void (*write)(FILE* out)) {
  if (!TryRewriteStatusFile(path, write)) LOG(FATAL) << openFailure;
}
