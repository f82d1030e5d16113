#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

struct UConverter;

namespace koron {

// Reads a text file line by line. A line ends at CR LF or at a CR alone; a LF alone belongs to
// its line; the last line needs no terminator, and a terminator at the very end starts no further
// line. The bytes are code page 932 (Microsoft's table), or UTF-8 when the file begins with the
// UTF-8 byte-order mark. Bytes that do not form a character become U+FFFD, one per bad sequence.
//
// Lines are split on bytes before they are converted: CR and LF are never part of a double-byte
// character in either encoding. So callers may look at a line's bytes first and convert only the
// lines they need, which is what makes searching a large file cheap.
//
// Memory stays in proportion to the longest line. Nothing throws: a read error, or running out of
// memory, ends the lines and sets failed().
class LineReader {
 public:
  static constexpr std::size_t kDefaultChunkSize = 64 * 1024;

  // chunk_size: how many bytes one read asks for (small values exercise chunk boundaries).
  explicit LineReader(std::size_t chunk_size = kDefaultChunkSize) noexcept;
  ~LineReader();
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  // Opens a regular file. False when it is missing, unreadable, a directory or not a regular file
  // (a pipe or a device could block or never end).
  bool Open(const std::string& path) noexcept;

  // Reads bytes held in memory, through the same chunked buffering as a file. The bytes must
  // outlive the reader.
  bool OpenBytes(std::string_view bytes) noexcept;

  // The next line's bytes without its terminator, valid until the next call. False at the end.
  bool NextRawLine(std::string_view& line) noexcept;

  // The next line, converted.
  bool NextLine(std::u16string& line) noexcept;

  // Converts the bytes of a line this reader returned. On failure `out` is empty and failed() set.
  void Decode(std::string_view raw, std::u16string& out) noexcept;

  // True when the lines ended because of an error rather than the end of the file.
  bool failed() const noexcept { return failed_; }

  bool is_utf8() const noexcept { return utf8_; }

 private:
  void Close() noexcept;
  bool Begin() noexcept;
  // Reads more bytes behind the unread ones; false when nothing more can come.
  bool Refill() noexcept;
  std::size_t ReadSome(char* destination, std::size_t capacity) noexcept;
  void Fail() noexcept;
  bool DecodePiece(std::string_view piece, std::u16string& out) noexcept;

  std::size_t chunk_size_;
  int fd_ = -1;
  std::string_view memory_;
  bool from_memory_ = false;
  bool open_ = false;
  bool at_eof_ = false;
  bool failed_ = false;
  bool utf8_ = false;
  std::vector<char> buffer_;
  std::size_t begin_ = 0;  // first unread byte in buffer_
  std::size_t end_ = 0;    // one past the last filled byte in buffer_
  UConverter* converter_ = nullptr;
};

}  // namespace koron
