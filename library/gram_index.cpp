#include "library/gram_index.h"

#include <algorithm>
#include <map>

namespace koron {
namespace {

void PutVarint(std::string& out, std::uint64_t value) {
  while (value >= 0x80) {
    out.push_back(static_cast<char>((value & 0x7F) | 0x80));
    value >>= 7;
  }
  out.push_back(static_cast<char>(value));
}

bool GetVarint(std::string_view& in, std::uint64_t& value) {
  value = 0;
  for (int shift = 0; shift < 64 && !in.empty(); shift += 7) {
    const auto byte = static_cast<unsigned char>(in.front());
    in.remove_prefix(1);
    value |= static_cast<std::uint64_t>(byte & 0x7F) << shift;
    if ((byte & 0x80) == 0) return true;
  }
  return false;
}

struct Directory {
  GramKey key;
  std::uint64_t count;
  std::uint64_t bytes;
};

// Reads a blob's directory; `data` is left at the ids.
bool ReadDirectory(std::string_view& data, std::vector<Directory>& grams) {
  std::uint64_t count = 0;
  if (!GetVarint(data, count) || count > data.size()) return false;
  grams.resize(static_cast<std::size_t>(count));
  GramKey key = 0;
  std::uint64_t total = 0;
  for (Directory& gram : grams) {
    std::uint64_t delta = 0;
    if (!GetVarint(data, delta) || !GetVarint(data, gram.count) || !GetVarint(data, gram.bytes)) {
      return false;
    }
    key += delta;
    gram.key = key;
    total += gram.bytes;
  }
  return total <= data.size();
}

bool DecodeIds(std::string_view deltas, std::uint64_t count, std::vector<std::uint32_t>& ids) {
  std::uint64_t id = 0;
  for (std::uint64_t i = 0; i < count; ++i) {
    std::uint64_t delta = 0;
    if (!GetVarint(deltas, delta)) return false;
    id += delta;
    if (id > UINT32_MAX) return false;
    ids.push_back(static_cast<std::uint32_t>(id));
  }
  return true;
}

std::uint64_t Mix(std::uint64_t key) {
  key ^= key >> 33;
  key *= 0xff51afd7ed558ccdULL;
  key ^= key >> 33;
  return key;
}

// Writes one bucket from its grams in key order, each with its increasing ids.
template <typename Grams>
std::string WriteBucket(const Grams& grams) {
  std::string out;
  PutVarint(out, grams.size());
  GramKey previous = 0;
  std::string body;
  for (const auto& [key, ids] : grams) {
    PutVarint(out, key - previous);
    previous = key;
    std::uint32_t last = 0;
    const std::size_t start = body.size();
    for (std::uint32_t id : ids) {
      PutVarint(body, id - last);
      last = id;
    }
    PutVarint(out, ids.size());
    PutVarint(out, body.size() - start);
  }
  return out + body;
}

}  // namespace

GramKey UnigramKey(char16_t c) { return c; }
GramKey BigramKey(char16_t first, char16_t second) {
  return (GramKey{1} << 32) | (GramKey{first} << 16) | second;
}
std::uint32_t BucketOf(GramKey key) { return static_cast<std::uint32_t>(Mix(key) % kGramBuckets); }

GramCollector::GramCollector() : unigrams_(0x10000), slots_(1 << 16, 0) {}

void GramCollector::Append(Postings& postings, std::uint32_t id) {
  if (postings.count != 0 && postings.last == id) return;
  PutVarint(postings.deltas, id - postings.last);
  postings.last = id;
  ++postings.count;
}

GramCollector::Postings& GramCollector::Bigram(std::uint32_t pair) {
  const std::uint64_t tag = static_cast<std::uint64_t>(pair) + 1;
  std::size_t mask = slots_.size() - 1;
  for (std::size_t i = Mix(pair) & mask;; i = (i + 1) & mask) {
    const std::uint64_t slot = slots_[i];
    if (slot == 0) {
      if ((bigrams_.size() + 1) * 2 > slots_.size()) {
        Grow();
        return Bigram(pair);
      }
      slots_[i] = tag | (static_cast<std::uint64_t>(bigrams_.size()) << 33);
      bigrams_.emplace_back();
      return bigrams_.back();
    }
    if ((slot & 0x1FFFFFFFFULL) == tag) return bigrams_[slot >> 33];
  }
}

void GramCollector::Grow() {
  std::vector<std::uint64_t> old(slots_.size() * 2, 0);
  old.swap(slots_);
  const std::size_t mask = slots_.size() - 1;
  for (std::uint64_t slot : old) {
    if (slot == 0) continue;
    const std::uint64_t pair = (slot & 0x1FFFFFFFFULL) - 1;
    std::size_t i = Mix(pair) & mask;
    while (slots_[i] != 0) i = (i + 1) & mask;
    slots_[i] = slot;
  }
}

void GramCollector::Add(std::uint32_t id, std::u16string_view folded) {
  for (std::size_t i = 0; i < folded.size(); ++i) {
    Postings& unigram = unigrams_[folded[i]];
    if (unigram.count == 0) ++unigramCount_;
    Append(unigram, id);
    if (i + 1 < folded.size()) {
      Append(Bigram((static_cast<std::uint32_t>(folded[i]) << 16) | folded[i + 1]), id);
    }
  }
}

std::vector<std::string> GramCollector::Buckets() const {
  // Per bucket, its grams in key order, pointing at their postings.
  std::vector<std::vector<std::pair<GramKey, const Postings*>>> buckets(kGramBuckets);
  for (std::size_t c = 0; c < unigrams_.size(); ++c) {
    if (unigrams_[c].count == 0) continue;
    const GramKey key = UnigramKey(static_cast<char16_t>(c));
    buckets[BucketOf(key)].emplace_back(key, &unigrams_[c]);
  }
  for (std::uint64_t slot : slots_) {
    if (slot == 0) continue;
    const auto pair = static_cast<std::uint32_t>((slot & 0x1FFFFFFFFULL) - 1);
    const GramKey key = BigramKey(static_cast<char16_t>(pair >> 16), static_cast<char16_t>(pair));
    buckets[BucketOf(key)].emplace_back(key, &bigrams_[slot >> 33]);
  }
  std::vector<std::string> blobs(kGramBuckets);
  for (std::uint32_t b = 0; b < kGramBuckets; ++b) {
    auto& grams = buckets[b];
    if (grams.empty()) continue;
    std::sort(grams.begin(), grams.end(),
              [](const auto& x, const auto& y) { return x.first < y.first; });
    // The collected deltas are written as they are: they are the same varints.
    std::string& out = blobs[b];
    PutVarint(out, grams.size());
    GramKey previous = 0;
    std::size_t bodyBytes = 0;
    for (const auto& [key, postings] : grams) {
      PutVarint(out, key - previous);
      previous = key;
      PutVarint(out, postings->count);
      PutVarint(out, postings->deltas.size());
      bodyBytes += postings->deltas.size();
    }
    out.reserve(out.size() + bodyBytes);
    for (const auto& gram : grams) out += gram.second->deltas;
  }
  return blobs;
}

bool ReadPostings(std::string_view blob, GramKey key, std::vector<std::uint32_t>& ids) {
  std::vector<Directory> grams;
  if (!ReadDirectory(blob, grams)) return false;
  std::uint64_t offset = 0;
  for (const Directory& gram : grams) {
    if (gram.key == key) return DecodeIds(blob.substr(offset, gram.bytes), gram.count, ids);
    if (gram.key > key) break;
    offset += gram.bytes;
  }
  return true;
}

std::string MergeBuckets(const std::vector<std::string_view>& blobs,
                         const std::function<bool(std::uint32_t)>& live, bool& ok) {
  ok = true;
  std::map<GramKey, std::vector<std::uint32_t>> merged;
  std::vector<Directory> grams;
  std::vector<std::uint32_t> ids;
  for (std::string_view blob : blobs) {
    if (!ReadDirectory(blob, grams)) {
      ok = false;
      return {};
    }
    std::uint64_t offset = 0;
    for (const Directory& gram : grams) {
      ids.clear();
      if (!DecodeIds(blob.substr(offset, gram.bytes), gram.count, ids)) {
        ok = false;
        return {};
      }
      offset += gram.bytes;
      std::vector<std::uint32_t>& into = merged[gram.key];
      for (std::uint32_t id : ids) {
        if (live(id)) into.push_back(id);
      }
    }
  }
  for (auto it = merged.begin(); it != merged.end();) {
    it = it->second.empty() ? merged.erase(it) : std::next(it);
  }
  return merged.empty() ? std::string() : WriteBucket(merged);
}

}  // namespace koron
