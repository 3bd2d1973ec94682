// Whole-file reading and atomic replacement, for the programs that keep results, jobs and maps
// in files: failures come back as false with the system's reason, and nothing throws.
#pragma once

#include <cstddef>
#include <limits>
#include <string>

// Reads the whole file into `text`. On failure `text` is left as it was and `reason` holds
// the system's explanation (e.g. "No such file or directory"); a file of more than
// `maxBytes` bytes is a failure too, and its reading stops once past the bound.
bool readWholeFile(const std::string& path, std::string& text, std::string& reason,
                   std::size_t maxBytes = std::numeric_limits<std::size_t>::max());

// Replaces the file at `path` with `text` so that readers see either the old content or the
// whole new one: the text goes to a fresh temporary name in the same folder, is flushed to
// the disk and renamed over the target. On failure the target is untouched, the temporary is
// gone and `reason` says why. A target that exists but is no regular file (a folder, a
// device) is refused rather than replaced; a symbolic link to a file is replaced by the file.
bool writeFileAtomically(const std::string& path, const std::string& text, std::string& reason);
