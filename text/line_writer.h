#pragma once

#include <string>
#include <vector>

namespace koron {

// Replaces the file at `path` with `lines` (ASCII), each followed by CR LF. The new content is
// written to a temporary file in the same directory, flushed to the disk and only then renamed
// over the old file, so a crash or a full disk never leaves a truncated file behind. On any
// failure the old file stays as it was, the temporary file is removed and false is returned.
// An existing file that is not writable is left alone, as a plain overwrite would have to.
// Never throws.
bool ReplaceFileWithLines(const std::string& path, const std::vector<std::string>& lines) noexcept;

}  // namespace koron
