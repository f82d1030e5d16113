#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
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

// The longest name that is listed, as long as the longest text a box takes. A longer header is
// passed over without being held: nobody picks such a name from a list, and reading it whole
// would cost memory in the length of a line.
inline constexpr std::size_t kMaxTemplateNameLength = 200'000;

// Names of all header lines ("[name]") of a template list file, in file order, but those longer
// than kMaxTemplateNameLength. A file that cannot be read gives no names.
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

// The lookup of FindTemplateBody, handing the body to `take` as it is read rather than holding
// it: piece by piece in file order, a piece being a line, or part of a line longer than
// `pieceBytes`, with the CR LF after each line at the end of its last piece. So no line is held
// whole, whatever its length. `take` returns false to stop. After a read error (the reader's
// failed()) the pieces handed over so far are not to be trusted.
enum class BodyLookup { kFound, kNone, kStopped };
inline constexpr std::size_t kBodyPieceBytes = 64 * 1024;
BodyLookup StreamTemplateBody(LineReader& reader, std::u16string_view name,
                              const std::function<bool(std::u16string_view)>& take,
                              std::size_t pieceBytes = kBodyPieceBytes);

// The same, on a reader already opened (on a file or on bytes in memory); each reads it to the
// end, or until the body is found.
std::vector<std::u16string> ListTemplateNames(LineReader& reader);
std::u16string FindTemplateBody(LineReader& reader, std::u16string_view name);
std::optional<std::u16string> FindTemplateBodyWithin(LineReader& reader, std::u16string_view name,
                                                     std::uint64_t limit);

}  // namespace koron
