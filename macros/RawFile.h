// Byte-for-byte file reads and atomic writes, for exporting and importing macro files unparsed.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace nk7x {

// Reads a regular file whole into `out`. False (and `out` empty) when it does not open, is not a
// regular file, is larger than `maxSize` or could not be read to its end.
bool ReadRawFile(const std::string& path, std::size_t maxSize, std::string& out);

// Replaces the file at `path` with `bytes` through a temporary file in the same folder that is
// renamed over it; on failure the old file stays as it was and no temporary file is left.
bool WriteRawFileAtomically(const std::string& path, std::string_view bytes);

} // namespace nk7x
