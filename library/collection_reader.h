#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace koron {

class LineReader;

// How a collection file holds its pictures, told by its name's ending in any letter case: ".mlt"
// pages, ".ast" named entries, ".txt" a list of "[name]" entries or, with no header line, one
// plain picture.
enum class CollectionFormat { kMlt, kAst, kText };
std::optional<CollectionFormat> FormatOfPath(std::string_view path);

// Files larger than this are left out of the library: no collection is that large, and reading
// one would hold up the whole library.
inline constexpr std::uint64_t kMaxCollectionFileBytes = 256ull * 1024 * 1024;

// One listed entry. Entries are numbered from 1 in file order; blank entries and heading pages
// take their numbers but are not listed.
struct CollectionEntry {
  std::uint32_t number = 0;
  std::u16string name;     // an AST or list entry's name; a plain file's name without extension
  std::u16string section;  // the heading page an MLT page follows, or empty
  std::u16string text;     // its lines, each followed by CR LF
};

// Why a file is left out of the library.
enum class CollectionProblem {
  kNone,
  kUnreadable,  // cannot be opened or read
  kTooLarge,    // over kMaxCollectionFileBytes
  kNotText,     // holds NUL bytes (other than as a UTF-16 file)
};

struct CollectionReadOptions {
  CollectionFormat format = CollectionFormat::kText;
  std::u16string_view stem;      // the file's name without its extension: a plain file's name
  bool decodeReferences = true;  // &#N; and &#xH; in names and texts (not in the two lists)
};

// Reads the entries of a collection from `reader` (already opened on the file or on bytes),
// handing each listed one to `take` in file order. The entry is the reader's own, reused for the
// next: `take` may move its strings away. On a problem nothing more is handed over, and what was
// handed is to be dropped by the caller. Exceptions from `take`, and std::bad_alloc, pass through.
//
// The markers ("[SPLIT]", "[AA][name]", "[name]") are judged on each line as stored, before its
// references are decoded; blank lines and heading pages on the decoded line, as a board shows it.
CollectionProblem ReadCollection(LineReader& reader, const CollectionReadOptions& options,
                                 const std::function<void(CollectionEntry&)>& take);

// Opens `path` (a regular file of at most kMaxCollectionFileBytes) and reads it as above.
CollectionProblem ReadCollectionFile(const std::string& path, const CollectionReadOptions& options,
                                     const std::function<void(CollectionEntry&)>& take);

// Decodes the numeric character references in `text` in place: "&#N;" (1 to 7 decimal digits),
// "&#xH;" or "&#XH;" (1 to 6 hex digits) whose value is a Unicode scalar value other than 0.
// Anything else stays as it stands.
void DecodeCharacterReferences(std::u16string& text);

}  // namespace koron
