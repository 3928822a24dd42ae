#pragma once
// The front end polls the status files while the engine rewrites them: it
// must find the previous contents or the new ones, whole, never an empty or
// half-written file.
#include <cstdio>

// Writes the new contents with `write` to a file beside `path`, then renames
// that file over `path`. When the new file cannot be made the process ends
// with LOG(FATAL) `openFailure`. A file that could not be written whole is
// dropped, and `path` keeps its previous contents.
void RewriteStatusFile(const char* path, const char* openFailure, void (*write)(FILE* out));
