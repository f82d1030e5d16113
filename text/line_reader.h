#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "text/icu_converter.h"

namespace koron {

// Reads a text file line by line. Two choices are made once per file, from the same first block
// (the first 64 KiB after a UTF-8 byte-order mark, or of the file when it has none), so that every
// reader of the same bytes agrees whatever its chunk size:
//
// - Encoding: UTF-16 when the file begins with a UTF-16 byte-order mark, FF FE (little-endian)
//   or FE FF (big-endian); no code page 932 text begins with either. Such a file is turned into
//   UTF-8 as it is read, and read on as UTF-8: its first block, its raw lines and the size of a
//   cut are those of the UTF-8 bytes. A code unit cut off by the end of the file, and a surrogate
//   without its partner, each become U+FFFD. Otherwise UTF-8 when the file begins with the UTF-8
//   byte-order mark, or when the block is
//   strictly valid UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF; a sequence
//   cut at the block's far edge passes) and holds at least one complete sequence of three or
//   more bytes. Otherwise code page 932 (Microsoft's table). Japanese UTF-8 is made of three-byte
//   sequences, while code page 932 text is practically never valid UTF-8 with one.
// - Line ends: when the block holds a LF and no CR, LF, CR LF and a CR alone each end a line (as
//   Linux editors save). Otherwise a line ends at CR LF or at a CR alone, and a LF alone belongs
//   to its line (as Windows editors save).
//
// The last line needs no terminator, and a terminator at the very end starts no further line.
// Bytes that do not form a character become U+FFFD, one per bad sequence.
//
// Lines are split on bytes before they are converted: CR and LF are never part of a double-byte
// character in UTF-8 or code page 932. So callers may look at a line's bytes first and convert only
// the lines they need, which is what makes searching a large file cheap.
//
// Memory stays in proportion to the longest line kept (and the first block). Nothing throws: a
// read error, or running out of memory, ends the lines and sets failed().
class LineReader {
 public:
  static constexpr std::size_t kDefaultChunkSize = 64 * 1024;
  // The bytes the encoding and line ends are decided from.
  static constexpr std::size_t kDecisionBytes = 64 * 1024;
  static constexpr std::uint64_t kNoSizeLimit = std::numeric_limits<std::uint64_t>::max();

  // chunkSize: how many bytes one read asks for (small values exercise chunk boundaries).
  explicit LineReader(std::size_t chunkSize = kDefaultChunkSize) noexcept;
  ~LineReader();
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  // Opens a regular file. False when it is missing, unreadable, a directory or not a regular file
  // (a pipe or a device could block or never end), or larger than `maxSize` bytes (its own bytes,
  // whatever a UTF-16 file grows to as UTF-8). A file that
  // turns out longer than `maxSize` while being read (its reported size lied, or it grew) is
  // refused as well, or ends the lines with failed(): no more than maxSize + 1 bytes are read.
  bool Open(const std::string& path, std::uint64_t maxSize = kNoSizeLimit) noexcept;

  // Reads bytes held in memory, through the same chunked buffering as a file. The bytes must
  // outlive the reader.
  bool OpenBytes(std::string_view bytes) noexcept;

  // The next line's bytes without its terminator, valid until the next call. False at the end.
  bool NextRawLine(std::string_view& line) noexcept;

  // The same for callers that can use no line longer than `maxBytes`: such a line is cut, and
  // never held whole. `line` then holds its first maxBytes + 1 bytes and cut() is true; the rest
  // is read past, without being held, by CutLineEndsWith or by the next call for a line.
  bool NextRawLine(std::string_view& line, std::size_t maxBytes) noexcept;

  // True when the line last returned was cut.
  bool cut() const noexcept { return cut_; }

  // Reads past the rest of the cut line. True when its last character is the ASCII character
  // `c` (a byte of its own, not the second half of a double-byte character). False as well when
  // no line was cut or reading fails (then failed() is set).
  bool CutLineEndsWith(char c) noexcept;

  // The rest of the cut line, after the bytes `line` held, in pieces of what the buffer holds:
  // each is valid until the next call. False once the line is over. CutLineEndsWith and
  // PeekCutLineEndsWith can no longer tell its end after this.
  bool NextCutPiece(std::string_view& piece) noexcept;

  // What CutLineEndsWith tells, found by reading ahead without moving on: the cut line's bytes
  // can still be had from NextCutPiece afterwards. False as well when reading fails.
  bool PeekCutLineEndsWith(char c) noexcept;

  // The next line, converted.
  bool NextLine(std::u16string& line) noexcept;

  // Converts the bytes of a line this reader returned. On failure `out` is empty and failed() set.
  void Decode(std::string_view raw, std::u16string& out) noexcept;

  // Converts a line handed out in parts (a cut line's first bytes, then its pieces) into the code
  // units Decode gives for the whole line: `first` on its first part, `last` on its last.
  void DecodePart(std::string_view raw, bool first, bool last, std::u16string& out) noexcept;

  // True when the lines ended because of an error rather than the end of the file.
  bool failed() const noexcept { return failed_; }

  // The two choices made for the open file. A UTF-16 file is UTF-8 to every caller of the raw
  // lines, so IsUtf8() is true for it too; IsUtf16() tells it apart (a NUL byte is text there).
  bool IsUtf8() const noexcept { return utf8_; }
  bool IsUtf16() const noexcept { return utf16_; }
  bool LfEndsLines() const noexcept { return lfEndsLines_; }

 private:
  void Close() noexcept;
  bool Begin() noexcept;
  void Decide(std::string_view head) noexcept;
  // Reads more bytes behind the unread ones; false when nothing more can come.
  bool Refill() noexcept;
  std::size_t ReadSome(char* destination, std::size_t capacity) noexcept;
  // Turns UTF-16 into UTF-8 across reads: it holds an odd byte and a lead surrogate between
  // them. Copied to look ahead without moving on.
  struct Utf16Decoder {
    bool bigEndian = false;
    bool oddByte = false;
    unsigned char byte = 0;
    char16_t lead = 0;  // a lead surrogate waiting for its trail, or 0
    // The most UTF-8 bytes Convert or Finish writes for `count` bytes of UTF-16.
    static constexpr std::size_t Room(std::size_t count) { return 2 * count + 8; }
    std::size_t Convert(std::string_view bytes, char* out) noexcept;
    // At the end of the file: what is held becomes one U+FFFD.
    std::size_t Finish(char* out) noexcept;
  };
  // Reads up to `count` bytes of the file and writes them, converted, to `destination`, which
  // has room for Utf16Decoder::Room(count). Zero only at the end, or on failure.
  std::size_t ReadText(char* destination, std::size_t count) noexcept;
  void Fail() noexcept;
  // The first terminator at or after `from`, or nullptr.
  const char* FindTerminator(std::size_t from) const noexcept;
  // Moves past the terminator that begins at `at`.
  void SkipTerminator(std::size_t at) noexcept;
  // What is known of the end of a cut line from the bytes seen so far.
  struct CutEnd {
    unsigned char last = 0;
    bool lastPaired = false;  // the last byte may be the second half of a double-byte one
    std::size_t leadRun = 0;  // code page 932 lead bytes ending the bytes seen, mod 2
  };
  // Takes note of bytes of a cut line that are read past.
  void NoteCutBytes(std::string_view bytes, CutEnd& end) const noexcept;
  bool EndsWith(const CutEnd& end, char c) const noexcept;
  bool FinishCutLine() noexcept;
  // Converts `piece` behind `out`; `reset` starts afresh, `flush` ends a sequence left open.
  bool DecodePiece(std::string_view piece, std::u16string& out, bool reset, bool flush) noexcept;

  std::size_t chunkSize_;
  int fd_ = -1;
  std::string_view memory_;
  bool fromMemory_ = false;
  bool open_ = false;
  bool atEof_ = false;
  bool failed_ = false;
  bool utf8_ = false;
  bool utf16_ = false;
  bool lfEndsLines_ = false;
  Utf16Decoder utf16Decoder_;
  std::vector<char> utf16Bytes_;                // a chunk of a UTF-16 file before conversion
  std::uint64_t readAllowance_ = kNoSizeLimit;  // bytes a file may still give
  std::vector<char> buffer_;
  std::size_t begin_ = 0;  // first unread byte in buffer_
  std::size_t end_ = 0;    // one past the last filled byte in buffer_
  // A cut line: bytes after begin_ known to hold no terminator, and what was seen of its end.
  bool cut_ = false;
  std::size_t cutScanned_ = 0;
  std::size_t cutGiven_ = 0;  // bytes after begin_ already handed out
  CutEnd cutEnd_;
  bool converterFresh_ = true;  // no part of a sequence is left in the converter
  Converter converter_;
};

}  // namespace koron
