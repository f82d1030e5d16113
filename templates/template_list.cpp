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

}  // namespace

std::vector<std::u16string> ListTemplateNames(LineReader& reader) {
  std::vector<std::u16string> names;
  std::u16string line;
  std::string_view raw;
  while (reader.NextRawLine(raw)) {
    if (ReadHeader(reader, raw, line)) names.emplace_back(NameOf(line));
  }
  if (reader.failed()) return {};
  return names;
}

std::optional<std::u16string> FindTemplateBodyWithin(LineReader& reader, std::u16string_view name,
                                                     std::uint64_t limit) {
  std::u16string body;
  if (name.empty()) return body;  // never looked up, though "[]" names it
  // Neither encoding gives less than one code unit for three bytes, so a line of more bytes than
  // three times the code units it may have is known to be too long without converting it.
  const auto bytes_for = [](std::uint64_t units) {
    return units >= std::numeric_limits<std::size_t>::max() / 3
               ? std::numeric_limits<std::size_t>::max()
               : static_cast<std::size_t>(units) * 3;
  };
  const std::size_t header_bytes = bytes_for(name.size() + 2);
  std::u16string line;
  std::string_view raw;
  bool collecting = false;
  // Until the entry has a body line, the next line may also be a header of the name sought.
  const auto max_bytes = [&] {
    if (!collecting) return header_bytes;
    const std::size_t room = bytes_for(limit - body.size());
    return body.empty() ? std::max(room, header_bytes) : room;
  };
  while (reader.NextRawLine(raw, max_bytes())) {
    if (!collecting) {
      // A line too long to be the header sought is passed over without being read whole.
      collecting = !reader.cut() && ReadHeader(reader, raw, line) && NameOf(line) == name;
      continue;
    }
    bool header;
    if (reader.cut()) {
      header = raw.front() == '[' && reader.CutLineEndsWith(']');
      if (!header) {
        if (reader.failed()) break;
        return std::nullopt;  // a body line longer than all the room left
      }
    } else {
      header = ReadHeader(reader, raw, line);
    }
    if (header) {
      if (!body.empty()) break;
      // An entry without body lines is passed over; the header that ended it is tested like any
      // other (a cut one is longer than the name sought).
      collecting = !reader.cut() && NameOf(line) == name;
      continue;
    }
    reader.Decode(raw, line);
    if (reader.failed()) break;
    if (line.size() + 2 > limit - body.size()) return std::nullopt;
    body += line;
    body += u"\r\n";
  }
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
