// SQL script files: their text (UTF-16 with its byte order mark, or UTF-8
// with or without one), cut into batches at lines that begin with "GO" in
// either case, and played batch by batch on a pooled connector.
#pragma once

#include "setrig/OdbcPool.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

enum class ScriptEncoding { Utf8, Utf16 };

// The encoding a file's first bytes announce: FF FE is UTF-16
// little-endian, anything else UTF-8.
ScriptEncoding ScriptEncodingOf(const uint8_t* data, size_t size);

// The text of a script file read as `encoding`, its byte order mark left
// out. Reading a file as the other encoding logs it ("The file %s is an
// unicode file and you read it as an UTF8 file", or the reverse) and goes
// on. Invalid sequences become U+FFFD; an odd last byte of a UTF-16 file is
// dropped with a warning.
std::wstring ScriptText(const uint8_t* data, size_t size, ScriptEncoding encoding, const std::wstring& path);

// The batches of a script: a "GO" (any case) as the first two characters
// of a line ends the batch before it; scanning goes on right after the two
// letters. The text after the last GO is the last batch. Batches that hold
// nothing but white space are left out: there is nothing to play.
std::vector<std::wstring_view> SplitScript(std::wstring_view text);

struct ScriptResult {
  size_t batches = 0;
  size_t failed = 0;
};

// Plays every batch of `text` on one connector of `pool`, one request per
// batch; a batch that fails is logged and the next one is played.
ScriptResult PlayScript(std::wstring_view text, CZubOdbcPool& pool = CZubOdbcPool::Instance());
