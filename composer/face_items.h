#pragma once

namespace koron {

// The items of the face list, in order. Each begins with the five characters of its face, which
// is all the picture takes of it; the rest is the face's name.
inline constexpr int kFaceCount = 6;
inline constexpr const char16_t* kFaceItems[kFaceCount] = {
    u"('\uFF21`)",
    u"(\uFF9F\u0414\uFF9F) \u30B8\u30E7\u30F3",
    u"(\uFF9F\u03C9\uFF9F) \u30B8\u30E7\u30BD",
    u"(\uFF9F\u2200\uFF9F) \u30ED\u30D3\u30F3\u30BD\u30F3",
    u"(\uFF9F\u30FC\uFF9F) \u30DE\u30B7\u30E5\u30FC",
    u"('\u2200`) \uFF1F\uFF1F\uFF1F",
};

}  // namespace koron
