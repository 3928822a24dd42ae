#pragma once
// The front end polls the status files while the engine rewrites them: it
// must find the previous contents or the new ones, whole, never an empty or
// half-written file.
#include <cstdio>

// Writes the new contents with `write` to a file beside the one `path` names
// (following symbolic links, as opening it would), then renames that file
// over it, so a link at `path` stays and its target gets the contents.
// Returns false when the file cannot be replaced: the new file cannot be
// made, or cannot take the old one's place (a folder stands there, say). A
// file that could not be written whole is dropped, the old contents stay,
// and that is no failure: the next rewrite tries again.
bool TryRewriteStatusFile(const char* path, void (*write)(FILE* out));

// The engine's use of the above: a status file that cannot be replaced ends
// the process with LOG(FATAL) `openFailure`, as one that cannot be opened.
void RewriteStatusFile(const char* path, const char* openFailure, void (*write)(FILE* out));
