#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace koron {

// Replaces the file at `path` with `lines` (ASCII), each followed by CR LF. The new content is
// written to a temporary file in the same directory, flushed to the disk and only then renamed
// over the old file, so a crash or a full disk never leaves a truncated file behind. On any
// failure the old file stays as it was, the temporary file is removed and false is returned.
// An existing file that is not writable is left alone, as a plain overwrite would have to.
//
// A symbolic link is never replaced by a regular file: the file at the end of its chain is
// replaced instead (its temporary file goes beside it), or created when the chain dangles into
// an existing directory. A chain that loops, dangles into no directory or holds a link owned by
// someone else (never followed for writing, like the kernel's protected symlinks) is left alone.
//
// When the directory refuses the temporary file or the rename (a sticky or read-only directory)
// but the file itself may be written, it is rewritten in place: the whole content in one write,
// then cut to its length. Never throws.
bool ReplaceFileWithLines(const std::string& path, const std::vector<std::string>& lines) noexcept;

// Writes all of `bytes` to the file descriptor, however the system splits the writes. False,
// with errno telling why, when not all could be written.
bool WriteAll(int fd, std::string_view bytes) noexcept;

}  // namespace koron
