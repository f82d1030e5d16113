#include "library/search_folding.h"

#include <unicode/unorm2.h>

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

}  // namespace

void FoldForSearch(std::u16string_view text, std::u16string& out) {
  out.clear();
  const UNormalizer2* folding = Folding();
  if (folding == nullptr || text.empty() || text.size() > INT32_MAX / 2) {
    out.assign(text);
    return;
  }
  const auto* source = reinterpret_cast<const UChar*>(text.data());
  const auto length = static_cast<int32_t>(text.size());
  UErrorCode error = U_ZERO_ERROR;
  // Most of a picture is folded already (spaces, lines, kana): that part is copied as it is.
  const int32_t done = unorm2_spanQuickCheckYes(folding, source, length, &error);
  if (U_FAILURE(error)) {
    out.assign(text);
    return;
  }
  out.assign(text.substr(0, static_cast<std::size_t>(done)));
  if (done == length) return;
  // Folding may lengthen the text (ß to ss, ligatures): room for the common case, then more.
  std::u16string rest(static_cast<std::size_t>(length - done) + 16, u'\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    error = U_ZERO_ERROR;
    const int32_t written = unorm2_normalize(folding, source + done, length - done,
                                             reinterpret_cast<UChar*>(rest.data()),
                                             static_cast<int32_t>(rest.size()), &error);
    if (error == U_BUFFER_OVERFLOW_ERROR) {
      rest.assign(static_cast<std::size_t>(written), u'\0');
      continue;
    }
    if (U_FAILURE(error)) break;
    rest.resize(static_cast<std::size_t>(written));
    // The quick check stops at the character before the first one that may change, so joining
    // the two halves needs no further normalising.
    out += rest;
    return;
  }
  out.assign(text);
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
