#include "text/line_reader.h"

#include "text/code_page_932.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/ucnv_err.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

namespace koron {
namespace {

constexpr char kUtf8[] = "UTF-8";
constexpr char kUtf8Mark[] = "\xEF\xBB\xBF";

// ICU writes the code page's own substitute (U+001A) for some bad bytes; readers expect U+FFFD,
// one for each sequence ICU rejects.
void WriteReplacementCharacter(const void*, UConverterToUnicodeArgs* args, const char*, int32_t,
                               UConverterCallbackReason reason, UErrorCode* error) {
  if (reason > UCNV_IRREGULAR) return;
  static const UChar kReplacement = 0xFFFD;
  *error = U_ZERO_ERROR;
  ucnv_cbToUWriteUChars(args, &kReplacement, 1, 0, error);
}

}  // namespace

LineReader::LineReader(std::size_t chunk_size) noexcept
    : chunk_size_(std::max<std::size_t>(chunk_size, 1)) {}

LineReader::~LineReader() { Close(); }

void LineReader::Close() noexcept {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (converter_ != nullptr) ucnv_close(converter_);
  converter_ = nullptr;
  memory_ = {};
  from_memory_ = false;
  open_ = false;
  at_eof_ = false;
  failed_ = false;
  utf8_ = false;
  begin_ = end_ = 0;
}

bool LineReader::Open(const std::string& path) noexcept {
  Close();
  // Non-blocking so that a named pipe cannot hang the open; it is refused below anyway.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return false;
  }
  fd_ = fd;
  return Begin();
}

bool LineReader::OpenBytes(std::string_view bytes) noexcept {
  Close();
  memory_ = bytes;
  from_memory_ = true;
  return Begin();
}

bool LineReader::Begin() noexcept {
  try {
    // Room for a full chunk behind a partly read line, without growing for ordinary lines.
    // Bytes in memory need no more room than they take.
    buffer_.resize(from_memory_ ? std::min(2 * chunk_size_, memory_.size()) : 2 * chunk_size_);
  } catch (const std::bad_alloc&) {
    Close();
    return false;
  }
  open_ = true;
  while (end_ < 3 && !at_eof_) Refill();
  if (failed_) {
    Close();
    return false;
  }
  if (end_ >= 3 && std::memcmp(buffer_.data(), kUtf8Mark, 3) == 0) {
    utf8_ = true;
    begin_ = 3;
  }
  UErrorCode error = U_ZERO_ERROR;
  converter_ = ucnv_open(utf8_ ? kUtf8 : kCp932ConverterName, &error);
  if (U_SUCCESS(error)) {
    ucnv_setToUCallBack(converter_, WriteReplacementCharacter, nullptr, nullptr, nullptr, &error);
  }
  if (U_FAILURE(error)) {
    Close();
    return false;
  }
  return true;
}

void LineReader::Fail() noexcept {
  failed_ = true;
  at_eof_ = true;
}

std::size_t LineReader::ReadSome(char* destination, std::size_t capacity) noexcept {
  if (from_memory_) {
    std::size_t count = std::min(capacity, memory_.size());
    if (count == 0) return 0;
    std::memcpy(destination, memory_.data(), count);
    memory_.remove_prefix(count);
    return count;
  }
  for (;;) {
    ssize_t count = ::read(fd_, destination, capacity);
    if (count >= 0) return static_cast<std::size_t>(count);
    if (errno != EINTR) {
      Fail();
      return 0;
    }
  }
}

bool LineReader::Refill() noexcept {
  if (at_eof_) return false;
  if (begin_ > 0) {
    std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  const std::size_t wanted = from_memory_ ? std::min(chunk_size_, memory_.size()) : chunk_size_;
  if (buffer_.size() - end_ < wanted) {
    try {
      buffer_.resize(std::max(buffer_.size() * 2, end_ + wanted));
    } catch (const std::bad_alloc&) {
      Fail();
      return false;
    }
  }
  std::size_t count = ReadSome(buffer_.data() + end_, wanted);
  if (count == 0) {
    at_eof_ = true;
    return false;
  }
  end_ += count;
  return true;
}

bool LineReader::NextRawLine(std::string_view& line) noexcept {
  if (!open_ || failed_) return false;
  std::size_t scanned = 0;  // bytes after begin_ known to hold no CR
  for (;;) {
    const char* data = buffer_.data();
    const std::size_t from = begin_ + scanned;
    const void* found = from < end_ ? std::memchr(data + from, '\r', end_ - from) : nullptr;
    if (found != nullptr) {
      const std::size_t cr = static_cast<std::size_t>(static_cast<const char*>(found) - data);
      // A CR at the end of the buffer may still be followed by a LF in the next chunk.
      if (cr + 1 < end_ || at_eof_) {
        line = std::string_view(data + begin_, cr - begin_);
        begin_ = cr + 1;
        if (begin_ < end_ && data[begin_] == '\n') ++begin_;
        return true;
      }
      scanned = cr - begin_;
    } else {
      if (at_eof_) {
        if (begin_ == end_) return false;
        line = std::string_view(data + begin_, end_ - begin_);
        begin_ = end_;
        return true;
      }
      scanned = end_ - begin_;
    }
    Refill();  // compacts the buffer, so only offsets from begin_ survive
    if (failed_) return false;
  }
}

bool LineReader::NextLine(std::u16string& line) noexcept {
  std::string_view raw;
  if (!NextRawLine(raw)) {
    line.clear();
    return false;
  }
  Decode(raw, line);
  return !failed_;
}

bool LineReader::DecodePiece(std::string_view piece, std::u16string& out) noexcept {
  if (piece.empty()) return true;
  ucnv_resetToUnicode(converter_);
  std::size_t written = out.size();
  const char* source = piece.data();
  const char* const source_end = piece.data() + piece.size();
  // Neither encoding yields more code units than bytes; the loop only guards against surprises.
  std::size_t room = piece.size() + 1;
  for (;;) {
    try {
      out.resize(written + room);
    } catch (const std::bad_alloc&) {
      return false;
    }
    UChar* target = reinterpret_cast<UChar*>(out.data()) + written;
    UChar* const target_start = target;
    UErrorCode error = U_ZERO_ERROR;
    ucnv_toUnicode(converter_, &target, target + room, &source, source_end, nullptr, true, &error);
    written += static_cast<std::size_t>(target - target_start);
    if (error == U_BUFFER_OVERFLOW_ERROR) {
      room = room * 2;
      continue;
    }
    out.resize(written);
    return U_SUCCESS(error);
  }
}

void LineReader::Decode(std::string_view raw, std::u16string& out) noexcept {
  out.clear();
  if (converter_ == nullptr) return;
  unsigned high = 0;
  bool swapped = false;
  for (char c : raw) {
    const auto byte = static_cast<unsigned char>(c);
    high |= byte & 0x80u;
    swapped |= IsSwappedControl(byte);
  }
  try {
    if (high == 0) {
      // Plain ASCII reads the same in both encodings: no converter needed.
      out.assign(raw.begin(), raw.end());
      return;
    }
    bool ok = true;
    if (utf8_ || !swapped) {
      ok = DecodePiece(raw, out);
    } else {
      // The line is split at the swapped control bytes, which are copied unchanged.
      std::size_t start = 0;
      for (std::size_t i = 0; i < raw.size() && ok; ++i) {
        const auto byte = static_cast<unsigned char>(raw[i]);
        if (!IsSwappedControl(byte)) continue;
        ok = DecodePiece(raw.substr(start, i - start), out);
        out.push_back(static_cast<char16_t>(byte));
        start = i + 1;
      }
      if (ok) ok = DecodePiece(raw.substr(start), out);
    }
    if (!ok) {
      out.clear();
      Fail();
    }
  } catch (const std::bad_alloc&) {
    out.clear();
    Fail();
  }
}

}  // namespace koron
