// The search index's buckets, checked on arbitrary input: what a collector writes reads back as
// a plain count of the entries' grams says, joined segments read as the segments did, and a
// damaged blob is refused without harm.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "library/gram_index.h"

namespace {

void Require(bool holds) {
  if (!holds) std::abort();
}

// What a gram holds in one entry, counted plainly.
struct Seen {
  std::uint32_t first = 0xFFFFFFFF;
  std::uint32_t last = 0;
  koron::PositionMask mask = 0;
  std::uint32_t run = 0;      // at the first place
  std::uint32_t longest = 0;  // over every place
};

using Model = std::map<koron::GramKey, std::map<std::uint32_t, Seen>>;  // gram, id

std::uint32_t Capped(std::size_t run) {
  return static_cast<std::uint32_t>(std::min<std::size_t>(run, koron::kLongestRun));
}

void Count(Model& model, std::uint32_t id, const std::u16string& field, std::size_t offset) {
  const std::size_t n = field.size();
  for (std::size_t i = 0; i < n; ++i) {
    model[koron::UnigramKey(field[i])][id];
    if (i + 1 < n) model[koron::BigramKey(field[i], field[i + 1])][id];
    if (i + 2 >= n) continue;
    const char16_t a = field[i], b = field[i + 1], c = field[i + 2];
    const koron::GramKey key = koron::TrigramKey(a, b, c);
    Seen& seen = model[key][id];
    const auto at = static_cast<std::uint32_t>(offset + i);
    std::size_t run = 0;
    if (a == b && b == c) {
      std::size_t from = i;
      while (from > 0 && field[from - 1] == a) --from;
      std::size_t to = i;
      while (to < n && field[to] == a) ++to;
      run = to - from;
    } else if (b == c) {
      while (i + 1 + run < n && field[i + 1 + run] == b) ++run;
    } else if (a == b) {
      while (run <= i + 1 && field[i + 1 - run] == a) ++run;
    }
    if (seen.first == 0xFFFFFFFF) {
      seen.first = at;
      seen.run = Capped(run);
    }
    seen.last = at;
    seen.mask |= koron::PositionBit(at);
    seen.longest = std::max(seen.longest, Capped(run));
    if (a == b && b == c) seen.run = seen.longest;
  }
}

// Reads `key` from the blobs of its bucket, oldest first.
koron::GramPostings Read(const std::vector<std::vector<std::string>>& segments,
                         koron::GramKey key) {
  koron::GramPostings postings;
  for (const std::vector<std::string>& buckets : segments) {
    // An empty bucket is not stored.
    const std::string& blob = buckets[koron::BucketOf(key)];
    if (!blob.empty()) Require(koron::ReadPostings(blob, key, postings));
  }
  return postings;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // As a blob it may be damaged: refused or read, never more.
  const std::string_view raw(reinterpret_cast<const char*>(data), size);
  koron::GramPostings any;
  for (koron::GramKey key : {koron::GramKey{u'a'}, koron::BigramKey(u'a', u'b'),
                             koron::TrigramKey(u'a', u'a', u'a'), koron::TrigramKey(0, 0, 0)}) {
    koron::ReadPostings(raw, key, any);
  }
  bool ok = true;
  koron::MergeBuckets({raw, raw}, nullptr, ok);
  koron::MergeBuckets({raw}, [](std::uint32_t id) { return id % 2 == 0; }, ok);

  // As entries: a few characters so that grams repeat and runs form; byte 0xFF ends a field,
  // 0xFE an entry, 0xFD a segment.
  static constexpr char16_t kUnits[] = {u'a', u'b', u'a', u'a', u' ', u'\u30FC', u'-', u'\u4E00'};
  Model model;
  std::vector<std::vector<std::string>> segments;
  koron::GramCollector collector;
  std::uint32_t id = 1;
  std::size_t offset = 0;
  std::u16string field;
  const auto endField = [&] {
    collector.Add(id, field);
    Count(model, id, field, offset);
    offset += field.size() + 1;
    field.clear();
  };
  for (std::size_t i = 0; i <= size; ++i) {
    const std::uint8_t byte = i < size ? data[i] : 0xFE;
    if (byte >= 0xFD) {
      endField();
      if (byte == 0xFF) continue;
      ++id;
      offset = 0;
      if (byte == 0xFD || i == size) {
        // The collector serves the next segment as it is.
        if (!collector.empty()) segments.push_back(collector.Buckets());
      }
      continue;
    }
    // Runs: the high bits repeat the unit.
    field.append(1 + (byte >> 5), kUnits[byte % 8]);
  }
  if (segments.empty()) return 0;

  for (const auto& [key, ids] : model) {
    const koron::GramPostings postings = Read(segments, key);
    Require(postings.ids.size() == ids.size());
    std::size_t k = 0;
    for (const auto& [entry, seen] : ids) {
      Require(postings.ids[k] == entry);
      if (koron::HasMasks(key)) {
        Require(postings.firsts[k] == std::min<std::uint32_t>(seen.first, koron::kUnknownFirst));
        Require(postings.lasts[k] == std::min<std::uint32_t>(seen.last, koron::kUnknownFirst));
        Require(postings.masks[k] == seen.mask);
        if (koron::ShapeOf(key) != koron::RunShape::kNone) {
          Require(postings.runs[k] == seen.run && postings.longest[k] == seen.longest);
        }
      }
      ++k;
    }
  }

  // The segments joined, and merged keeping every other id, read as the model says: the buckets
  // the grams fall in.
  std::vector<std::string> joined(koron::kGramBuckets);
  std::vector<std::string> halved(koron::kGramBuckets);
  const auto even = [](std::uint32_t entry) { return entry % 2 == 0; };
  std::vector<std::uint32_t> used;
  for (const auto& gram : model) used.push_back(koron::BucketOf(gram.first));
  std::sort(used.begin(), used.end());
  used.erase(std::unique(used.begin(), used.end()), used.end());
  for (std::uint32_t b : used) {
    std::vector<std::string_view> blobs;
    for (const auto& buckets : segments) {
      if (!buckets[b].empty()) blobs.push_back(buckets[b]);
    }
    joined[b] = koron::MergeBuckets(blobs, nullptr, ok);
    Require(ok);
    halved[b] = koron::MergeBuckets(blobs, even, ok);
    Require(ok);
  }
  const std::vector<std::vector<std::string>> joinedOnly{std::move(joined)};
  const std::vector<std::vector<std::string>> halvedOnly{std::move(halved)};
  for (const auto& [key, ids] : model) {
    const koron::GramPostings whole = Read(joinedOnly, key);
    const koron::GramPostings kept = Read(halvedOnly, key);
    const koron::GramPostings apart = Read(segments, key);
    Require(whole.ids == apart.ids && whole.firsts == apart.firsts && whole.masks == apart.masks &&
            whole.lasts == apart.lasts && whole.runs == apart.runs &&
            whole.longest == apart.longest);
    std::vector<std::uint32_t> evens;
    for (std::uint32_t entry : apart.ids) {
      if (even(entry)) evens.push_back(entry);
    }
    Require(kept.ids == evens);
  }
  return 0;
}
