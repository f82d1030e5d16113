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

// A triple's bytes after each id: its mask and its first position.
constexpr std::size_t kTriplePayload = 4;

std::uint16_t TwoBytes(std::string_view at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(at[0]) |
                                    static_cast<unsigned char>(at[1]) << 8);
}

bool DecodeIds(std::string_view deltas, std::uint64_t count, bool masked,
               std::vector<std::uint32_t>& ids, std::vector<std::uint16_t>* masks,
               std::vector<std::uint16_t>* firsts) {
  std::uint64_t id = 0;
  for (std::uint64_t i = 0; i < count; ++i) {
    std::uint64_t delta = 0;
    if (!GetVarint(deltas, delta)) return false;
    id += delta;
    if (id > UINT32_MAX) return false;
    ids.push_back(static_cast<std::uint32_t>(id));
    if (!masked) continue;
    if (deltas.size() < kTriplePayload) return false;
    if (masks != nullptr) masks->push_back(TwoBytes(deltas));
    if (firsts != nullptr) firsts->push_back(TwoBytes(deltas.substr(2)));
    deltas.remove_prefix(kTriplePayload);
  }
  return true;
}

void PutTwo(std::string& out, std::uint16_t value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>(value >> 8));
}

void PutPayload(std::string& out, std::uint16_t mask, std::uint16_t first) {
  PutTwo(out, mask);
  PutTwo(out, first);
}

std::uint64_t Mix(std::uint64_t key) {
  key ^= key >> 33;
  key *= 0xff51afd7ed558ccdULL;
  key ^= key >> 33;
  return key;
}

// Writes one bucket from its grams in key order, each with its increasing ids (and masks).
std::string WriteBucket(const std::map<GramKey, GramPostings>& grams) {
  std::string out;
  PutVarint(out, grams.size());
  GramKey previous = 0;
  std::string body;
  for (const auto& [key, postings] : grams) {
    PutVarint(out, key - previous);
    previous = key;
    std::uint32_t last = 0;
    const std::size_t start = body.size();
    for (std::size_t i = 0; i < postings.ids.size(); ++i) {
      PutVarint(body, postings.ids[i] - last);
      last = postings.ids[i];
      if (HasMasks(key)) PutPayload(body, postings.masks[i], postings.firsts[i]);
    }
    PutVarint(out, postings.ids.size());
    PutVarint(out, body.size() - start);
  }
  return out + body;
}

}  // namespace

GramKey UnigramKey(char16_t c) { return c; }
GramKey BigramKey(char16_t first, char16_t second) {
  return (GramKey{1} << 32) | (GramKey{first} << 16) | second;
}
// Above every pair's key.
GramKey TrigramKey(char16_t first, char16_t second, char16_t third) {
  return (GramKey{1} << 48) | (GramKey{first} << 32) | (GramKey{second} << 16) | third;
}
std::uint32_t BucketOf(GramKey key) { return static_cast<std::uint32_t>(Mix(key) % kGramBuckets); }

GramCollector::GramCollector() : unigrams_(0x10000), streams_(kGramBuckets), pending_(1 << 12) {}

void GramCollector::Append(Postings& postings, std::uint32_t id) {
  if (postings.count != 0 && postings.last == id) return;
  PutVarint(postings.deltas, id - postings.last);
  postings.last = id;
  ++postings.count;
}

void GramCollector::Note(GramKey key, std::uint16_t bit, std::uint32_t first) {
  const auto stored = static_cast<std::uint16_t>(std::min<std::uint32_t>(first, kUnknownFirst));
  const std::size_t mask = pending_.size() - 1;
  for (std::size_t i = (key * 0x9E3779B97F4A7C15ULL) >> pendingShift_;; i = (i + 1) & mask) {
    Pending& slot = pending_[i];
    if (slot.tag == key + 1) {
      slot.mask |= bit;
      return;
    }
    if (slot.tag != 0) continue;
    slot.tag = key + 1;
    slot.mask = bit;
    slot.first = stored;  // positions only grow: the first noted is the first
    pendingSlots_.push_back(static_cast<std::uint32_t>(i));
    // A long entry gets a larger table: each of its grams stays one record, however long it is.
    if (pendingSlots_.size() * 2 > pending_.size()) WidenPending();
    return;
  }
}

void GramCollector::WidenPending() {
  std::vector<Pending> wider(pending_.size() * 2);
  --pendingShift_;
  const std::size_t mask = wider.size() - 1;
  for (std::uint32_t& at : pendingSlots_) {
    const Pending slot = pending_[at];
    std::size_t i = ((slot.tag - 1) * 0x9E3779B97F4A7C15ULL) >> pendingShift_;
    while (wider[i].tag != 0) i = (i + 1) & mask;
    wider[i] = slot;
    at = static_cast<std::uint32_t>(i);
  }
  pending_.swap(wider);
}

void GramCollector::Flush() {
  for (std::uint32_t i : pendingSlots_) {
    Pending& slot = pending_[i];
    const GramKey key = slot.tag - 1;
    streams_[BucketOf(key)].push_back({key, pendingId_, slot.mask, slot.first});
    slot = Pending();
  }
  records_ += pendingSlots_.size();
  pendingSlots_.clear();
  if (pending_.size() > kPendingSlots) {
    pending_.assign(kPendingSlots, Pending());
    pending_.shrink_to_fit();
    pendingShift_ = kPendingShift;
  }
}

void GramCollector::Add(std::uint32_t id, std::u16string_view folded) {
  if (id != pendingId_) {
    Flush();
    pendingId_ = id;
    pendingOffset_ = 0;
  }
  const std::uint32_t offset = pendingOffset_;
  pendingOffset_ += static_cast<std::uint32_t>(std::min<std::size_t>(folded.size() + 1, 1u << 20));
  // A run of one character (spaces, lines) gives the same grams at each step: they are noted
  // once, the triple with the positions of the whole run.
  const std::size_t n = folded.size();
  GramKey bigram = ~GramKey{0};
  GramKey trigram = ~GramKey{0};
  std::uint16_t trigramMask = 0;
  std::uint32_t trigramFirst = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (i == 0 || folded[i] != folded[i - 1]) {
      Postings& unigram = unigrams_[folded[i]];
      if (unigram.count == 0) ++unigramCount_;
      Append(unigram, id);
    }
    if (i + 1 < n) {
      const GramKey key = BigramKey(folded[i], folded[i + 1]);
      if (key != bigram) Note(key, 0, 0);
      bigram = key;
    }
    if (i + 2 < n) {
      const GramKey key = TrigramKey(folded[i], folded[i + 1], folded[i + 2]);
      const std::size_t at = offset + i;
      const auto bit = static_cast<std::uint16_t>(1u << (at % 16));
      if (key != trigram) {
        if (trigramMask != 0) Note(trigram, trigramMask, trigramFirst);
        trigram = key;
        trigramMask = 0;
        trigramFirst = static_cast<std::uint32_t>(std::min<std::size_t>(at, kUnknownFirst));
      }
      trigramMask |= bit;
    }
  }
  if (trigramMask != 0) Note(trigram, trigramMask, trigramFirst);
}

// One bucket's blob: its unigrams and its streamed records, grouped by key in key order.
std::string GramCollector::Bucket(std::uint32_t bucket, const std::vector<char16_t>& units) const {
  const std::vector<Record>& records = streams_[bucket];
  // Each record's gram, through a small table of the keys met.
  std::size_t size = 16;
  while (size < records.size() * 2) size *= 2;
  std::vector<std::pair<GramKey, std::uint32_t>> table(size, {0, 0});  // key + 1, gram
  std::vector<GramKey> keys;
  std::vector<std::uint32_t> counts;
  std::vector<std::uint32_t> gramOf(records.size());
  for (std::size_t r = 0; r < records.size(); ++r) {
    const GramKey key = records[r].key;
    std::size_t i = (key * 0x9E3779B97F4A7C15ULL) >> 32 & (size - 1);
    while (table[i].first != 0 && table[i].first != key + 1) i = (i + 1) & (size - 1);
    if (table[i].first == 0) {
      table[i] = {key + 1, static_cast<std::uint32_t>(keys.size())};
      keys.push_back(key);
      counts.push_back(0);
    }
    gramOf[r] = table[i].second;
    ++counts[table[i].second];
  }
  // The grams in key order, unigrams among them (marked past the records' grams).
  std::vector<std::pair<GramKey, std::uint32_t>> order;
  for (std::uint32_t g = 0; g < keys.size(); ++g) order.emplace_back(keys[g], g);
  for (std::uint32_t u = 0; u < units.size(); ++u) {
    order.emplace_back(UnigramKey(units[u]), static_cast<std::uint32_t>(keys.size() + u));
  }
  if (order.empty()) return {};
  std::sort(order.begin(), order.end());
  // The records of each gram together, in the order they came (ids increasing).
  std::vector<std::uint32_t> start(keys.size() + 1, 0);
  for (std::uint32_t g = 0; g < keys.size(); ++g) start[g + 1] = start[g] + counts[g];
  std::vector<std::uint32_t> placed(records.size());
  {
    std::vector<std::uint32_t> next(start.begin(), start.end() - 1);
    for (std::size_t r = 0; r < records.size(); ++r) {
      placed[next[gramOf[r]]++] = static_cast<std::uint32_t>(r);
    }
  }
  std::string directory;
  std::string body;
  body.reserve(records.size() * 3);
  GramKey previous = 0;
  for (const auto& [key, g] : order) {
    const std::size_t at = body.size();
    std::uint64_t count = 0;
    if (g >= keys.size()) {
      const Postings& unigram = unigrams_[units[g - keys.size()]];
      body += unigram.deltas;
      count = unigram.count;
    } else {
      const bool masked = HasMasks(key);
      std::uint32_t last = 0;
      for (std::uint32_t p = start[g]; p < start[g + 1]; ++p) {
        // Add gathers an entry whole, so each id comes once per gram.
        const Record& record = records[placed[p]];
        PutVarint(body, record.id - last);
        last = record.id;
        ++count;
        if (masked) PutPayload(body, record.mask, record.first);
      }
    }
    PutVarint(directory, key - previous);
    previous = key;
    PutVarint(directory, count);
    PutVarint(directory, body.size() - at);
  }
  std::string out;
  PutVarint(out, order.size());
  out.reserve(out.size() + directory.size() + body.size());
  return out + directory + body;
}

std::vector<std::string> GramCollector::Buckets() {
  Flush();
  std::vector<std::vector<char16_t>> units(kGramBuckets);  // the unigrams of each bucket
  for (std::size_t c = 0; c < unigrams_.size(); ++c) {
    const auto unit = static_cast<char16_t>(c);
    if (unigrams_[c].count != 0) units[BucketOf(UnigramKey(unit))].push_back(unit);
  }
  std::vector<std::string> blobs(kGramBuckets);
  for (std::uint32_t b = 0; b < kGramBuckets; ++b) blobs[b] = Bucket(b, units[b]);
  return blobs;
}

bool ReadPostings(std::string_view blob, GramKey key, GramPostings& postings) {
  std::vector<Directory> grams;
  if (!ReadDirectory(blob, grams)) return false;
  std::uint64_t offset = 0;
  for (const Directory& gram : grams) {
    if (gram.key == key) {
      return DecodeIds(blob.substr(offset, gram.bytes), gram.count, HasMasks(key), postings.ids,
                       &postings.masks, &postings.firsts);
    }
    if (gram.key > key) break;
    offset += gram.bytes;
  }
  return true;
}

// One gram's list as a blob stores it.
struct StoredList {
  GramKey key;
  std::string_view deltas;
  std::uint64_t count;
};

// The lists of every blob, blob by blob in key order; false when a blob is damaged.
bool ReadLists(const std::vector<std::string_view>& blobs, std::vector<StoredList>& lists) {
  std::vector<Directory> grams;
  for (std::string_view blob : blobs) {
    if (!ReadDirectory(blob, grams)) return false;
    std::uint64_t offset = 0;
    for (const Directory& gram : grams) {
      lists.push_back({gram.key, blob.substr(offset, gram.bytes), gram.count});
      offset += gram.bytes;
    }
  }
  return true;
}

// Joins the lists of every segment without decoding them: only the first delta of each list
// after the first changes, to count from the last id before it.
std::string JoinBuckets(const std::vector<std::string_view>& blobs, bool& ok) {
  std::vector<StoredList> parts;
  if (!ReadLists(blobs, parts)) {
    ok = false;
    return {};
  }
  std::stable_sort(parts.begin(), parts.end(),
                   [](const StoredList& a, const StoredList& b) { return a.key < b.key; });
  std::string directory;
  std::string body;
  std::uint64_t keys = 0;
  GramKey previous = 0;
  for (std::size_t i = 0; i < parts.size();) {
    const GramKey key = parts[i].key;
    const bool masked = HasMasks(key);
    const std::size_t start = body.size();
    std::uint64_t count = 0;
    std::uint64_t last = 0;
    for (; i < parts.size() && parts[i].key == key; ++i) {
      std::string_view deltas = parts[i].deltas;
      std::uint64_t first = 0;
      if (parts[i].count == 0 || !GetVarint(deltas, first) || first < last) {
        ok = false;
        return {};
      }
      PutVarint(body, first - last);
      body.append(deltas);
      // The list's last id, for the next: its deltas summed.
      last = first;
      if (masked) deltas.remove_prefix(std::min(kTriplePayload, deltas.size()));
      for (std::uint64_t n = 1; n < parts[i].count; ++n) {
        std::uint64_t delta = 0;
        if (!GetVarint(deltas, delta) || (masked && deltas.size() < kTriplePayload)) {
          ok = false;
          return {};
        }
        if (masked) deltas.remove_prefix(kTriplePayload);
        last += delta;
      }
      count += parts[i].count;
    }
    PutVarint(directory, key - previous);
    previous = key;
    PutVarint(directory, count);
    PutVarint(directory, body.size() - start);
    ++keys;
  }
  if (keys == 0) return {};
  std::string out;
  PutVarint(out, keys);
  return out + directory + body;
}

std::string MergeBuckets(const std::vector<std::string_view>& blobs,
                         const std::function<bool(std::uint32_t)>& live, bool& ok) {
  ok = true;
  if (!live) return JoinBuckets(blobs, ok);
  std::vector<StoredList> lists;
  if (!ReadLists(blobs, lists)) {
    ok = false;
    return {};
  }
  std::map<GramKey, GramPostings> merged;
  GramPostings read;
  for (const StoredList& list : lists) {
    read.ids.clear();
    read.masks.clear();
    read.firsts.clear();
    const bool masked = HasMasks(list.key);
    if (!DecodeIds(list.deltas, list.count, masked, read.ids, &read.masks, &read.firsts)) {
      ok = false;
      return {};
    }
    GramPostings& into = merged[list.key];
    for (std::size_t i = 0; i < read.ids.size(); ++i) {
      if (!live(read.ids[i])) continue;
      into.ids.push_back(read.ids[i]);
      if (masked) {
        into.masks.push_back(read.masks[i]);
        into.firsts.push_back(read.firsts[i]);
      }
    }
  }
  for (auto it = merged.begin(); it != merged.end();) {
    it = it->second.ids.empty() ? merged.erase(it) : std::next(it);
  }
  return merged.empty() ? std::string() : WriteBucket(merged);
}

}  // namespace koron
