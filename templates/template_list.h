#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace koron {

class LineReader;

// The two template list files, by their names in the working folder: the templates that can be
// added to the picture, and those the right half shows.
inline constexpr char kPictureListFile[] = "AAList_01.txt";
inline constexpr char kPanelListFile[] = "AAList_02.txt";

// Names of all header lines ("[name]") of a template list file, in file order. A file that
// cannot be read gives no names.
std::vector<std::u16string> ListTemplateNames(const std::string& path);

// Body of the first entry called `name` that has at least one line: its lines, each followed by
// CR LF. Empty when the name is empty (the file is then not opened), the file cannot be read,
// or no such entry has a body.
std::u16string FindTemplateBody(const std::string& path, std::u16string_view name);

// The same lookup for a caller that can use no body longer than `limit` UTF-16 code units (CR LF
// included): nullopt as soon as the body passes it, without reading or holding the rest. No body
// is the empty string, as above.
std::optional<std::u16string> FindTemplateBodyWithin(const std::string& path,
                                                     std::u16string_view name, std::uint64_t limit);

// The same, on a reader already opened (on a file or on bytes in memory); each reads it to the
// end, or until the body is found.
std::vector<std::u16string> ListTemplateNames(LineReader& reader);
std::u16string FindTemplateBody(LineReader& reader, std::u16string_view name);
std::optional<std::u16string> FindTemplateBodyWithin(LineReader& reader, std::u16string_view name,
                                                     std::uint64_t limit);

}  // namespace koron
