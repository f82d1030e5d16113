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
#include <cstdint>
#include <cstring>
#include <limits>
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

// True when `block` is strictly valid UTF-8 with at least one complete sequence of three or
// more bytes. A sequence cut by the end of the block passes when `mayBeCut`, without counting.
bool IsJapaneseUtf8(std::string_view block, bool mayBeCut) noexcept {
  const auto* bytes = reinterpret_cast<const unsigned char*>(block.data());
  const std::size_t size = block.size();
  bool longSequence = false;
  std::size_t i = 0;
  while (i < size) {
    // ASCII eight bytes at a time: most files are mostly ASCII.
    std::uint64_t word;
    if (size - i >= sizeof word) {
      std::memcpy(&word, bytes + i, sizeof word);
      if ((word & 0x8080808080808080u) == 0) {
        i += sizeof word;
        continue;
      }
    }
    const unsigned lead = bytes[i];
    if (lead < 0x80) {
      ++i;
      continue;
    }
    // The length of the sequence, and the range of its second byte: the narrower ranges after
    // E0, ED, F0 and F4 rule out overlong forms, surrogates and code points past U+10FFFF.
    std::size_t length = 0;
    unsigned low = 0x80;
    unsigned high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    } else {
      return false;
    }
    for (std::size_t k = 1; k < length; ++k) {
      if (i + k == size) return mayBeCut && longSequence;
      const unsigned next = bytes[i + k];
      if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xBF)) return false;
    }
    longSequence |= length >= 3;
    i += length;
  }
  return longSequence;
}

// Writes `c` (not a surrogate) in UTF-8.
char* PutUtf8(std::uint32_t c, char* out) noexcept {
  if (c < 0x80) {
    *out++ = static_cast<char>(c);
  } else if (c < 0x800) {
    *out++ = static_cast<char>(0xC0 | (c >> 6));
    *out++ = static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    *out++ = static_cast<char>(0xE0 | (c >> 12));
    *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out++ = static_cast<char>(0x80 | (c & 0x3F));
  } else {
    *out++ = static_cast<char>(0xF0 | (c >> 18));
    *out++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out++ = static_cast<char>(0x80 | (c & 0x3F));
  }
  return out;
}

constexpr std::uint32_t kReplacementCharacter = 0xFFFD;

bool IsLeadSurrogate(std::uint32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsTrailSurrogate(std::uint32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

std::size_t LineReader::Utf16Decoder::Convert(std::string_view bytes, char* out) noexcept {
  char* const start = out;
  const auto* next = reinterpret_cast<const unsigned char*>(bytes.data());
  const auto* const end = next + bytes.size();
  while (next != end) {
    unsigned char pair[2];
    if (oddByte) {
      pair[0] = byte;
      oddByte = false;
    } else {
      pair[0] = *next++;
      if (next == end) {
        byte = pair[0];
        oddByte = true;
        break;
      }
    }
    pair[1] = *next++;
    const std::uint32_t unit = bigEndian ? (pair[0] << 8 | pair[1]) : (pair[1] << 8 | pair[0]);
    if (lead != 0) {
      if (IsTrailSurrogate(unit)) {
        out = PutUtf8(0x10000 + ((lead - 0xD800u) << 10) + (unit - 0xDC00), out);
        lead = 0;
        continue;
      }
      out = PutUtf8(kReplacementCharacter, out);
      lead = 0;
    }
    if (IsLeadSurrogate(unit)) {
      lead = static_cast<char16_t>(unit);
    } else {
      out = PutUtf8(IsTrailSurrogate(unit) ? kReplacementCharacter : unit, out);
    }
  }
  return static_cast<std::size_t>(out - start);
}

std::size_t LineReader::Utf16Decoder::Finish(char* out) noexcept {
  // A lead surrogate and the first byte of its trail are one cut sequence, as ICU counts it.
  const bool held = oddByte || lead != 0;
  oddByte = false;
  lead = 0;
  return held ? static_cast<std::size_t>(PutUtf8(kReplacementCharacter, out) - out) : 0;
}

LineReader::LineReader(std::size_t chunkSize) noexcept
    : chunkSize_(std::max<std::size_t>(chunkSize, 1)) {}

LineReader::~LineReader() { Close(); }

void LineReader::Close() noexcept {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  converter_.reset();
  memory_ = {};
  fromMemory_ = false;
  open_ = false;
  atEof_ = false;
  failed_ = false;
  utf8_ = false;
  utf16_ = false;
  utf16Decoder_ = Utf16Decoder();
  lfEndsLines_ = false;
  readAllowance_ = kNoSizeLimit;
  begin_ = end_ = 0;
  cut_ = false;
  cutGiven_ = 0;
  converterFresh_ = true;
}

bool LineReader::Open(const std::string& path, std::uint64_t maxSize) noexcept {
  Close();
  // Non-blocking so that a named pipe cannot hang the open; it is refused below anyway.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
      static_cast<std::uint64_t>(info.st_size) > maxSize) {
    ::close(fd);
    return false;
  }
  fd_ = fd;
  readAllowance_ = maxSize;
  return Begin();
}

bool LineReader::OpenBytes(std::string_view bytes) noexcept {
  Close();
  memory_ = bytes;
  fromMemory_ = true;
  return Begin();
}

bool LineReader::Begin() noexcept {
  // The mark and the block after it, which every choice is made from.
  constexpr std::size_t kHead = sizeof kUtf8Mark - 1 + kDecisionBytes;
  open_ = true;
  std::string_view head;
  try {
    // A UTF-16 mark comes first: it decides how everything after it is read.
    std::string_view mark;
    if (fromMemory_) {
      mark = memory_.substr(0, 2);
    } else {
      // Room for a full chunk behind a partly read line, without growing for ordinary lines.
      buffer_.resize(std::max(2 * chunkSize_, kHead));
      while (end_ < 2 && !atEof_) {
        const std::size_t count = ReadSome(buffer_.data() + end_, 2 - end_);
        if (count == 0) atEof_ = true;
        end_ += count;
      }
      mark = std::string_view(buffer_.data(), end_);
    }
    if (mark == "\xFF\xFE" || mark == "\xFE\xFF") {
      utf16_ = true;
      utf16Decoder_.bigEndian = mark[0] == '\xFE';
      if (fromMemory_) {
        memory_.remove_prefix(2);
      } else {
        end_ = 0;
        utf16Bytes_.resize(chunkSize_);
      }
      // The choices are made from the first block of the UTF-8 the file turns into, read in
      // chunks into a buffer with room for the block and one more chunk.
      std::size_t room = std::max(2 * chunkSize_, kDecisionBytes + Utf16Decoder::Room(chunkSize_));
      // Bytes in memory need no more room than all of them turn into.
      if (fromMemory_) room = std::min(room, Utf16Decoder::Room(memory_.size()));
      buffer_.resize(room);
      while (end_ < kDecisionBytes && !atEof_) {
        const std::size_t count = ReadText(buffer_.data() + end_, chunkSize_);
        if (count == 0) atEof_ = true;
        end_ += count;
      }
      head = std::string_view(buffer_.data(), end_);
    } else if (fromMemory_) {
      head = memory_.substr(0, kHead);
      // Bytes in memory need no more room than they take.
      buffer_.resize(std::min(2 * chunkSize_, memory_.size()));
    } else {
      // The head is read whole whatever the chunk size, so that the choices never depend on it.
      while (end_ < kHead && !atEof_) {
        const std::size_t count = ReadSome(buffer_.data() + end_, kHead - end_);
        if (count == 0) atEof_ = true;
        end_ += count;
      }
      head = std::string_view(buffer_.data(), end_);
    }
  } catch (const std::bad_alloc&) {
    Close();
    return false;
  }
  if (failed_) {
    Close();
    return false;
  }
  Decide(head);
  UErrorCode error = U_ZERO_ERROR;
  converter_ = OpenConverter(utf8_ ? kUtf8 : kCp932ConverterName, &error);
  if (U_SUCCESS(error)) {
    ucnv_setToUCallBack(converter_.get(), WriteReplacementCharacter, nullptr, nullptr, nullptr,
                        &error);
  }
  if (U_FAILURE(error)) {
    Close();
    return false;
  }
  return true;
}

void LineReader::Decide(std::string_view head) noexcept {
  // In a UTF-16 file, a UTF-8 mark is the character U+FEFF.
  const bool mark = !utf16_ && head.substr(0, 3) == kUtf8Mark;
  if (mark) {
    if (fromMemory_) {
      memory_.remove_prefix(3);
    } else {
      begin_ = 3;
    }
  }
  const std::string_view block = head.substr(mark ? 3 : 0, kDecisionBytes);
  utf8_ = utf16_ || mark || IsJapaneseUtf8(block, block.size() == kDecisionBytes);
  lfEndsLines_ =
      block.find('\n') != std::string_view::npos && block.find('\r') == std::string_view::npos;
}

void LineReader::Fail() noexcept {
  failed_ = true;
  atEof_ = true;
}

std::size_t LineReader::ReadSome(char* destination, std::size_t capacity) noexcept {
  if (fromMemory_) {
    std::size_t count = std::min(capacity, memory_.size());
    if (count == 0) return 0;
    std::memcpy(destination, memory_.data(), count);
    memory_.remove_prefix(count);
    return count;
  }
  // One byte past the allowance is enough to know the file is too long.
  if (readAllowance_ < capacity) capacity = static_cast<std::size_t>(readAllowance_) + 1;
  for (;;) {
    ssize_t count = ::read(fd_, destination, capacity);
    if (count >= 0) {
      if (static_cast<std::uint64_t>(count) > readAllowance_) {
        Fail();
        return 0;
      }
      readAllowance_ -= static_cast<std::uint64_t>(count);
      return static_cast<std::size_t>(count);
    }
    if (errno != EINTR) {
      Fail();
      return 0;
    }
  }
}

std::size_t LineReader::ReadText(char* destination, std::size_t count) noexcept {
  if (!utf16_) return ReadSome(destination, count);
  for (;;) {
    std::string_view bytes;
    if (fromMemory_) {
      bytes = memory_.substr(0, count);
      memory_.remove_prefix(bytes.size());
    } else {
      count = std::min(count, utf16Bytes_.size());
      bytes = std::string_view(utf16Bytes_.data(), ReadSome(utf16Bytes_.data(), count));
      if (failed_) return 0;
    }
    if (bytes.empty()) return utf16Decoder_.Finish(destination);
    // A read that ends inside a code unit or a pair may give nothing yet.
    const std::size_t written = utf16Decoder_.Convert(bytes, destination);
    if (written > 0) return written;
  }
}

bool LineReader::Refill() noexcept {
  if (atEof_) return false;
  if (begin_ > 0) {
    std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  const std::size_t wanted = fromMemory_ ? std::min(chunkSize_, memory_.size()) : chunkSize_;
  const std::size_t room = utf16_ ? Utf16Decoder::Room(wanted) : wanted;
  if (buffer_.size() - end_ < room) {
    try {
      buffer_.resize(std::max(buffer_.size() * 2, end_ + room));
    } catch (const std::bad_alloc&) {
      Fail();
      return false;
    }
  }
  std::size_t count = ReadText(buffer_.data() + end_, wanted);
  if (count == 0) {
    atEof_ = true;
    return false;
  }
  end_ += count;
  return true;
}

namespace {

// The first byte of `length` at `start` that ends a line, or nullptr.
const char* FindTerminatorIn(const char* start, std::size_t length, bool lfEndsLines) noexcept {
  if (lfEndsLines) {
    // Such files rarely hold a CR at all, so the CR is sought only before the first LF.
    const void* lf = std::memchr(start, '\n', length);
    if (lf != nullptr) length = static_cast<std::size_t>(static_cast<const char*>(lf) - start);
    const void* cr = std::memchr(start, '\r', length);
    return static_cast<const char*>(cr != nullptr ? cr : lf);
  }
  return static_cast<const char*>(std::memchr(start, '\r', length));
}

}  // namespace

const char* LineReader::FindTerminator(std::size_t from) const noexcept {
  if (from >= end_) return nullptr;
  return FindTerminatorIn(buffer_.data() + from, end_ - from, lfEndsLines_);
}

void LineReader::SkipTerminator(std::size_t at) noexcept {
  begin_ = at + 1;
  if (buffer_[at] == '\r' && begin_ < end_ && buffer_[begin_] == '\n') ++begin_;
}

bool LineReader::NextRawLine(std::string_view& line) noexcept {
  return NextRawLine(line, std::numeric_limits<std::size_t>::max());
}

bool LineReader::NextRawLine(std::string_view& line, std::size_t maxBytes) noexcept {
  if (!open_ || failed_) return false;
  if (cut_ && !FinishCutLine()) return false;
  std::size_t scanned = 0;  // bytes after begin_ known to hold no terminator
  for (;;) {
    const char* data = buffer_.data();
    const char* found = FindTerminator(begin_ + scanned);
    std::size_t length = 0;  // of a whole line, when one is found
    bool whole = false;
    if (found != nullptr) {
      const std::size_t at = static_cast<std::size_t>(found - data);
      // A CR at the end of the buffer may still be followed by a LF in the next chunk.
      if (*found == '\n' || at + 1 < end_ || atEof_) {
        length = at - begin_;
        whole = true;
      } else {
        scanned = at - begin_;
      }
    } else if (atEof_) {
      if (begin_ == end_) return false;
      length = end_ - begin_;
      whole = true;
    } else {
      scanned = end_ - begin_;
    }
    if (whole ? length > maxBytes : scanned > maxBytes) {
      cut_ = true;
      cutScanned_ = whole ? length : scanned;
      cutGiven_ = maxBytes + 1;
      cutEnd_ = CutEnd();
      line = std::string_view(data + begin_, maxBytes + 1);
      return true;
    }
    if (whole) {
      line = std::string_view(data + begin_, length);
      if (found != nullptr) {
        SkipTerminator(static_cast<std::size_t>(found - data));
      } else {
        begin_ = end_;
      }
      return true;
    }
    Refill();  // compacts the buffer, so only offsets from begin_ survive
    if (failed_) return false;
  }
}

void LineReader::NoteCutBytes(std::string_view bytes, CutEnd& end) const noexcept {
  if (bytes.empty()) return;
  // Code page 932 pairs a lead byte with the next byte in the trail range. A maximal run of lead
  // bytes starts on a character boundary (the byte before it cannot begin a pair), so the last
  // byte is a second half when it may be one and an odd number of lead bytes stand before it.
  std::size_t run = 0;
  std::size_t i = bytes.size() - 1;
  while (i > 0 && IsCp932LeadByte(static_cast<unsigned char>(bytes[i - 1]))) {
    ++run;
    --i;
  }
  if (i == 0) run += end.leadRun;
  end.last = static_cast<unsigned char>(bytes.back());
  end.lastPaired = !utf8_ && IsCp932TrailByte(end.last) && run % 2 == 1;
  end.leadRun = IsCp932LeadByte(end.last) ? (run + 1) % 2 : 0;
}

bool LineReader::EndsWith(const CutEnd& end, char c) const noexcept {
  return static_cast<unsigned char>(c) < 0x80 && end.last == static_cast<unsigned char>(c) &&
         !end.lastPaired;
}

bool LineReader::FinishCutLine() noexcept {
  for (;;) {
    const char* data = buffer_.data();
    const char* found = FindTerminator(begin_ + cutScanned_);
    if (found != nullptr) {
      const std::size_t at = static_cast<std::size_t>(found - data);
      NoteCutBytes(std::string_view(data + begin_, at - begin_), cutEnd_);
      if (*found == '\n' || at + 1 < end_ || atEof_) {
        SkipTerminator(at);
        cut_ = false;
        return true;
      }
      begin_ = at;  // the CR waits for the next chunk
    } else {
      NoteCutBytes(std::string_view(data + begin_, end_ - begin_), cutEnd_);
      begin_ = end_;
      if (atEof_) {
        cut_ = false;
        return true;
      }
    }
    cutScanned_ = 0;
    Refill();
    if (failed_) {
      cut_ = false;
      return false;
    }
  }
}

bool LineReader::CutLineEndsWith(char c) noexcept {
  if (!cut_ || !FinishCutLine()) return false;
  return EndsWith(cutEnd_, c);
}

bool LineReader::NextCutPiece(std::string_view& piece) noexcept {
  if (!cut_ || failed_) return false;
  // What was handed out is dropped, so that the buffer never holds more than a chunk of it.
  begin_ += cutGiven_;
  cutScanned_ = cutScanned_ > cutGiven_ ? cutScanned_ - cutGiven_ : 0;
  cutGiven_ = 0;
  for (;;) {
    const char* data = buffer_.data();
    const char* found = FindTerminator(begin_ + cutScanned_);
    std::size_t length = end_ - begin_;
    bool decided = atEof_;  // whether the line ends after these bytes
    if (found != nullptr) {
      const std::size_t at = static_cast<std::size_t>(found - data);
      length = at - begin_;
      // A CR at the end of the buffer may still be followed by a LF in the next chunk.
      decided = *found == '\n' || at + 1 < end_ || atEof_;
    }
    if (length > 0) {
      piece = std::string_view(data + begin_, length);
      cutGiven_ = length;
      cutScanned_ = length;
      return true;
    }
    if (decided) {
      if (found != nullptr) SkipTerminator(static_cast<std::size_t>(found - data));
      cut_ = false;
      cutScanned_ = 0;
      return false;
    }
    Refill();
    if (failed_) {
      cut_ = false;
      return false;
    }
  }
}

bool LineReader::PeekCutLineEndsWith(char c) noexcept {
  if (!cut_ || failed_) return false;
  CutEnd end;
  const char* data = buffer_.data();
  const char* found = FindTerminator(begin_ + cutScanned_);
  if (found != nullptr) {
    NoteCutBytes(std::string_view(data + begin_, static_cast<std::size_t>(found - data) - begin_),
                 end);
    return EndsWith(end, c);
  }
  NoteCutBytes(std::string_view(data + begin_, end_ - begin_), end);
  if (atEof_) return EndsWith(end, c);
  // Beyond the buffer: bytes in memory are looked at where they are, a file is read at its
  // offset without moving it.
  std::vector<char> ahead;
  std::vector<char> converted;  // what a UTF-16 chunk ahead turns into
  Utf16Decoder decoder = utf16Decoder_;
  off_t offset = 0;
  try {
    if (!fromMemory_) ahead.resize(chunkSize_);
    if (utf16_) converted.resize(Utf16Decoder::Room(chunkSize_));
  } catch (const std::bad_alloc&) {
    Fail();
    return false;
  }
  if (!fromMemory_) {
    offset = ::lseek(fd_, 0, SEEK_CUR);
    if (offset < 0) {
      Fail();
      return false;
    }
  }
  std::string_view rest = memory_;
  for (;;) {
    std::string_view bytes;
    if (fromMemory_) {
      bytes = rest.substr(0, chunkSize_);
      rest.remove_prefix(bytes.size());
    } else {
      const ssize_t count = ::pread(fd_, ahead.data(), ahead.size(), offset);
      if (count < 0) {
        if (errno == EINTR) continue;
        Fail();
        return false;
      }
      offset += count;
      bytes = std::string_view(ahead.data(), static_cast<std::size_t>(count));
    }
    const bool over = bytes.empty();
    if (utf16_) {
      bytes = std::string_view(converted.data(), over ? decoder.Finish(converted.data())
                                                      : decoder.Convert(bytes, converted.data()));
    }
    if (bytes.empty()) {
      if (over) return EndsWith(end, c);
      continue;
    }
    const char* stop = FindTerminatorIn(bytes.data(), bytes.size(), lfEndsLines_);
    if (stop != nullptr) bytes = bytes.substr(0, static_cast<std::size_t>(stop - bytes.data()));
    NoteCutBytes(bytes, end);
    if (stop != nullptr) return EndsWith(end, c);
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

bool LineReader::DecodePiece(std::string_view piece, std::u16string& out, bool reset,
                             bool flush) noexcept {
  if (reset) {
    ucnv_resetToUnicode(converter_.get());
    converterFresh_ = true;
  }
  // An empty piece still ends a sequence that an earlier part left open.
  if (piece.empty() && (converterFresh_ || !flush)) return true;
  converterFresh_ = flush;
  std::size_t written = out.size();
  const char* source = piece.data();
  const char* const sourceEnd = piece.data() + piece.size();
  // Neither encoding yields more code units than bytes; the loop only guards against surprises.
  std::size_t room = piece.size() + 1;
  for (;;) {
    try {
      out.resize(written + room);
    } catch (const std::bad_alloc&) {
      return false;
    }
    UChar* target = reinterpret_cast<UChar*>(out.data()) + written;
    UChar* const targetStart = target;
    UErrorCode error = U_ZERO_ERROR;
    ucnv_toUnicode(converter_.get(), &target, target + room, &source, sourceEnd, nullptr, flush,
                   &error);
    written += static_cast<std::size_t>(target - targetStart);
    if (error == U_BUFFER_OVERFLOW_ERROR) {
      room = room * 2;
      continue;
    }
    out.resize(written);
    return U_SUCCESS(error);
  }
}

void LineReader::Decode(std::string_view raw, std::u16string& out) noexcept {
  DecodePart(raw, true, true, out);
}

void LineReader::DecodePart(std::string_view raw, bool first, bool last,
                            std::u16string& out) noexcept {
  out.clear();
  if (converter_ == nullptr) return;
  if (first) {
    ucnv_resetToUnicode(converter_.get());  // a line given up part way leaves nothing behind
    converterFresh_ = true;
  }
  unsigned high = 0;
  bool swapped = false;
  for (char c : raw) {
    const auto byte = static_cast<unsigned char>(c);
    high |= byte & 0x80u;
    swapped |= IsSwappedControl(byte);
  }
  try {
    if (high == 0 && converterFresh_) {
      // Plain ASCII reads the same in both encodings: no converter needed.
      out.assign(raw.begin(), raw.end());
      return;
    }
    bool ok = true;
    if (utf8_ || !swapped) {
      ok = DecodePiece(raw, out, first, last);
    } else {
      // The line is split at the swapped control bytes, which are copied unchanged.
      std::size_t start = 0;
      bool reset = first;
      for (std::size_t i = 0; i < raw.size() && ok; ++i) {
        const auto byte = static_cast<unsigned char>(raw[i]);
        if (!IsSwappedControl(byte)) continue;
        ok = DecodePiece(raw.substr(start, i - start), out, reset, true);
        out.push_back(static_cast<char16_t>(byte));
        start = i + 1;
        reset = true;
      }
      if (ok) ok = DecodePiece(raw.substr(start), out, reset, last);
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
