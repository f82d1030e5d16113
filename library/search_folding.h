#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace koron {

// Text as a search compares it: after NFKC case folding, so that letter case and character width
// do not matter ("ﾔﾙｵ" and "ヤルオ", "ａａ" and "AA" fold alike).
std::u16string FoldForSearch(std::u16string_view text);
// The same into `out`, reusing its storage.
void FoldForSearch(std::u16string_view text, std::u16string& out);

// The terms of a query: split at blanks (U+0020, U+3000, tab), each folded. A term that folds to
// nothing is dropped.
std::vector<std::u16string> SplitQuery(std::u16string_view query);

}  // namespace koron
