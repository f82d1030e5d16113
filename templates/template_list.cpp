#include "templates/template_list.h"

#include "text/line_reader.h"

#include <algorithm>
#include <limits>

namespace koron {
namespace {

// A header line begins with "[" and ends with "]". Judged on bytes first: "[" and "]" are single
// bytes that no other character starts with, so a line failing this test cannot be a header and
// need not be converted. A last byte 0x5D may still be the second half of a double-byte
// character, which only the converted text tells.
bool MayBeHeader(std::string_view raw) {
  return raw.size() >= 2 && raw.front() == '[' && raw.back() == ']';
}

// Converts `raw` into `line` when it may be a header; true when it is one.
bool ReadHeader(LineReader& reader, std::string_view raw, std::u16string& line) {
  if (!MayBeHeader(raw)) return false;
  reader.Decode(raw, line);
  return line.size() >= 2 && line.front() == u'[' && line.back() == u']';
}

std::u16string_view NameOf(const std::u16string& header) {
  return std::u16string_view(header).substr(1, header.size() - 2);
}

// Neither encoding gives less than one code unit for three bytes, so a line of more bytes than
// three times the code units it may have is known to be too long without converting it.
std::size_t BytesFor(std::uint64_t units) {
  return units >= std::numeric_limits<std::size_t>::max() / 3
             ? std::numeric_limits<std::size_t>::max()
             : static_cast<std::size_t>(units) * 3;
}

}  // namespace

std::vector<std::u16string> ListTemplateNames(LineReader& reader) {
  std::vector<std::u16string> names;
  std::u16string line;
  std::string_view raw;
  while (reader.NextRawLine(raw, BytesFor(kMaxTemplateNameLength + 2))) {
    // A cut line is too long to give a name that is listed; it is read past, not held.
    if (reader.cut()) continue;
    if (ReadHeader(reader, raw, line) && line.size() - 2 <= kMaxTemplateNameLength) {
      names.emplace_back(NameOf(line));
    }
  }
  if (reader.failed()) return {};
  return names;
}

BodyLookup StreamTemplateBody(LineReader& reader, std::u16string_view name,
                              const std::function<bool(std::u16string_view)>& take,
                              std::size_t pieceBytes) {
  if (name.empty()) return BodyLookup::kNone;  // never looked up, though "[]" names it
  const std::size_t headerBytes = BytesFor(name.size() + 2);
  pieceBytes = std::max<std::size_t>(pieceBytes, 1);
  std::u16string line;
  std::string_view raw;
  bool collecting = false;
  bool found = false;  // a body line was handed over
  // Until the entry has a body line, the next line may also be a header of the name sought.
  const auto maxBytes = [&] {
    if (!collecting) return headerBytes;
    return found ? pieceBytes : std::max(pieceBytes, headerBytes);
  };
  while (reader.NextRawLine(raw, maxBytes())) {
    bool header = false;
    if (!reader.cut()) {
      header = ReadHeader(reader, raw, line);
    } else if (collecting) {
      // Whether a long line ends the body is known only at its end, which is read ahead to.
      header = raw.front() == '[' && reader.PeekCutLineEndsWith(']');
    }
    if (reader.failed()) break;
    if (!collecting || header) {
      if (header && found) break;
      // A line too long to be the header sought is passed over without being read whole. The
      // header that ends an entry without body lines is tested like any other.
      collecting = header && !reader.cut() && NameOf(line) == name;
      continue;
    }
    found = true;
    if (!reader.cut()) {
      reader.Decode(raw, line);
      if (reader.failed()) break;
      line += u"\r\n";
      if (!take(line)) return BodyLookup::kStopped;
      continue;
    }
    // A long line goes over part by part; its last part is known only once no piece is left.
    std::string_view part = raw;
    bool first = true;
    do {
      reader.DecodePart(part, first, false, line);
      first = false;
      if (reader.failed()) break;
      if (!line.empty() && !take(line)) return BodyLookup::kStopped;
    } while (reader.NextCutPiece(part));
    if (reader.failed()) break;
    reader.DecodePart({}, false, true, line);
    if (reader.failed()) break;
    line += u"\r\n";
    if (!take(line)) return BodyLookup::kStopped;
  }
  return found ? BodyLookup::kFound : BodyLookup::kNone;
}

std::optional<std::u16string> FindTemplateBodyWithin(LineReader& reader, std::u16string_view name,
                                                     std::uint64_t limit) {
  std::u16string body;
  bool tooLong = false;
  const auto take = [&](std::u16string_view piece) {
    tooLong = piece.size() > limit - body.size();
    if (!tooLong) body += piece;
    return !tooLong;
  };
  // A body past the limit is refused without reading or holding the rest.
  if (StreamTemplateBody(reader, name, take) == BodyLookup::kStopped) return std::nullopt;
  if (reader.failed()) return std::u16string();
  return body;
}

std::u16string FindTemplateBody(LineReader& reader, std::u16string_view name) {
  return FindTemplateBodyWithin(reader, name, std::numeric_limits<std::uint64_t>::max())
      .value_or(std::u16string());
}

std::vector<std::u16string> ListTemplateNames(const std::string& path) {
  LineReader reader;
  if (!reader.Open(path)) return {};
  return ListTemplateNames(reader);
}

std::u16string FindTemplateBody(const std::string& path, std::u16string_view name) {
  if (name.empty()) return {};
  LineReader reader;
  if (!reader.Open(path)) return {};
  return FindTemplateBody(reader, name);
}

std::optional<std::u16string> FindTemplateBodyWithin(const std::string& path,
                                                     std::u16string_view name,
                                                     std::uint64_t limit) {
  if (name.empty()) return std::u16string();
  LineReader reader;
  if (!reader.Open(path)) return std::u16string();
  return FindTemplateBodyWithin(reader, name, limit);
}

}  // namespace koron
