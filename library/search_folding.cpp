#include "library/search_folding.h"

#include <unicode/unorm2.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <vector>

namespace koron {
namespace {

const UNormalizer2* Folding() {
  static const UNormalizer2* folding = [] {
    UErrorCode error = U_ZERO_ERROR;
    const UNormalizer2* instance = unorm2_getNFKCCasefoldInstance(&error);
    return U_SUCCESS(error) ? instance : nullptr;
  }();
  return folding;
}

bool IsBlank(char16_t c) { return c == u' ' || c == u'\u3000' || c == u'\t'; }

// What a code unit folds to when it folds alone, to one unit, and never with the text before
// it; 0 for every other unit (surrogates among them). A text of such units folds unit by unit.
const std::vector<char16_t>& SingleFolds() {
  static const std::vector<char16_t> table = [] {
    std::vector<char16_t> folds(0x10000, u'\0');
    const UNormalizer2* folding = Folding();
    if (folding == nullptr) return folds;
    for (UChar32 c = 1; c < 0x10000; ++c) {
      if (c >= 0xD800 && c <= 0xDFFF) continue;
      if (unorm2_isInert(folding, c)) {
        folds[static_cast<std::size_t>(c)] = static_cast<char16_t>(c);
        continue;
      }
      if (!unorm2_hasBoundaryBefore(folding, c)) continue;
      const UChar unit = static_cast<UChar>(c);
      UChar folded[4];
      UErrorCode error = U_ZERO_ERROR;
      const int32_t length = unorm2_normalize(folding, &unit, 1, folded, 4, &error);
      if (U_SUCCESS(error) && length == 1 && folded[0] != 0) {
        folds[static_cast<std::size_t>(c)] = static_cast<char16_t>(folded[0]);
      }
    }
    return folds;
  }();
  return table;
}

// Appends the folding of `text` by ICU.
bool AppendFolded(const UNormalizer2* folding, std::u16string_view text, std::u16string& out) {
  const std::size_t at = out.size();
  // Folding may lengthen the text (ß to ss, ligatures): room for the common case, then more.
  out.resize(at + text.size() + 16);
  for (int attempt = 0; attempt < 2; ++attempt) {
    UErrorCode error = U_ZERO_ERROR;
    const int32_t written = unorm2_normalize(
        folding, reinterpret_cast<const UChar*>(text.data()), static_cast<int32_t>(text.size()),
        reinterpret_cast<UChar*>(out.data() + at), static_cast<int32_t>(out.size() - at), &error);
    if (error == U_BUFFER_OVERFLOW_ERROR) {
      out.resize(at + static_cast<std::size_t>(written));
      continue;
    }
    if (U_FAILURE(error)) break;
    out.resize(at + static_cast<std::size_t>(written));
    return true;
  }
  out.resize(at);
  return false;
}

}  // namespace

void FoldForSearch(std::u16string_view text, std::u16string& out) {
  out.clear();
  const UNormalizer2* folding = Folding();
  if (folding == nullptr || text.size() > INT32_MAX / 2) {
    out.assign(text);
    return;
  }
  const std::vector<char16_t>& single = SingleFolds();
  out.reserve(text.size());
  // Most units fold alone. Where one does not, ICU folds the stretch from the unit before it
  // (which may join it, as ﾎ does ﾞ) up to the next unit that starts afresh.
  std::size_t i = 0;
  while (i < text.size()) {
    // A stretch of units that fold alone, gathered a piece at a time.
    char16_t piece[256];
    std::size_t length = 0;
    char16_t folded = 0;
    while (i < text.size() && (folded = single[text[i]]) != 0) {
      piece[length++] = folded;
      ++i;
      if (length == std::size(piece)) {
        out.append(piece, length);
        length = 0;
      }
    }
    out.append(piece, length);
    if (i == text.size()) break;
    std::size_t start = i;
    if (i > 0 && single[text[i - 1]] != 0) {
      --start;
      out.pop_back();
    }
    std::size_t end = i + 1;
    while (end < text.size() && single[text[end]] == 0) ++end;
    if (end - start == 2) {
      // Mostly a letter and its mark (ﾎﾞ, ﾊﾟ), which pictures use over and over: kept.
      struct Pair {
        std::uint32_t units = 0;  // 0: none yet
        std::uint8_t length = 0;
        char16_t folded[3] = {};
      };
      thread_local std::vector<Pair> pairs(4096);
      const std::uint32_t units = static_cast<std::uint32_t>(text[start]) << 16 | text[start + 1];
      Pair& pair = pairs[(units * 2654435761u) >> 20];
      if (pair.units != units) {
        const std::size_t at = out.size();
        if (!AppendFolded(folding, text.substr(start, 2), out)) {
          out.assign(text);
          return;
        }
        if (out.size() - at <= 3) {
          pair.units = units;
          pair.length = static_cast<std::uint8_t>(out.size() - at);
          std::copy(out.begin() + static_cast<std::ptrdiff_t>(at), out.end(), pair.folded);
        }
      } else {
        out.append(pair.folded, pair.length);
      }
      i = end;
      continue;
    }
    if (!AppendFolded(folding, text.substr(start, end - start), out)) {
      out.assign(text);
      return;
    }
    i = end;
  }
}

std::u16string FoldForSearch(std::u16string_view text) {
  std::u16string out;
  FoldForSearch(text, out);
  return out;
}

std::vector<std::u16string> SplitQuery(std::u16string_view query) {
  std::vector<std::u16string> terms;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= query.size(); ++i) {
    if (i < query.size() && !IsBlank(query[i])) continue;
    if (i > start) {
      std::u16string term = FoldForSearch(query.substr(start, i - start));
      if (!term.empty()) terms.push_back(std::move(term));
    }
    start = i + 1;
  }
  return terms;
}

}  // namespace koron
