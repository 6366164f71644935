// Whole-file writes that never leave half a file: the bytes go to a
// temporary file in the same folder, which is flushed to disk and then
// renamed over the target.
#pragma once

#include <string>
#include <string_view>
#include <sys/types.h>

namespace setrig {

// Writes `bytes` to `path` with the permission bits `mode`. On failure the
// target is untouched, the temporary file removed, and *error (when given)
// says what failed.
bool WriteFileAtomically(const std::string& path, std::string_view bytes, mode_t mode, std::string* error = nullptr);

// Replaces an existing file keeping its permission bits and, where the
// caller may set them, its owner and group. A symbolic link is followed:
// its target is replaced, the link stays.
bool ReplaceFileAtomically(const std::string& path, std::string_view bytes, std::string* error = nullptr);

// Reads a whole file; false when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string* bytes);

}  // namespace setrig
