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

// A record's key holds its gram in 49 bits, then its two run lengths.
constexpr int kRunShift = 49;
constexpr int kLongestShift = 56;
constexpr GramKey kKeyBits = (GramKey{1} << kRunShift) - 1;
constexpr GramKey kMorePlaces = GramKey{1} << 63;

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

std::uint64_t EightBytes(std::string_view at) {
  std::uint64_t value = 0;
  for (int i = 7; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(at[i]);
  return value;
}

// A triple's bytes after an id.
struct Payload {
  PositionMask mask = 0;
  std::uint16_t first = kUnknownFirst;
  std::uint16_t last = kUnknownFirst;
  std::uint8_t run = 0;
  std::uint8_t longest = 0;
};

// Writes varints and payloads at a pointer into room made beforehand.
struct Encoder {
  char* at;
  void Varint(std::uint64_t value) {
    while (value >= 0x80) {
      *at++ = static_cast<char>((value & 0x7F) | 0x80);
      value >>= 7;
    }
    *at++ = static_cast<char>(value);
  }
  // The most a varint and a payload take.
  static constexpr std::size_t kMostVarint = 10;
  static constexpr std::size_t kMostPayload = 3 + 8 + 3 + 2;
  void Put(bool shaped, const Payload& payload) {
    const bool implied = payload.first != kUnknownFirst && payload.last == payload.first &&
                         payload.mask == PositionBit(payload.first);
    Varint(std::uint64_t{payload.first} << 1 | (implied ? 0 : 1));
    if (!implied) {
      PositionMask mask = payload.mask;
      for (int i = 0; i < 8; ++i, mask >>= 8) *at++ = static_cast<char>(mask & 0xFF);
      Varint(payload.last - payload.first);
    }
    if (shaped) Runs(payload.run, payload.longest);
  }
  // Both run lengths, in one byte with its top bit set when they are equal (most are).
  void Runs(std::uint8_t run, std::uint8_t longest) {
    if (run == longest) {
      *at++ = static_cast<char>(run | 0x80);
    } else {
      *at++ = static_cast<char>(run);
      *at++ = static_cast<char>(longest);
    }
  }
};

void PutPayload(std::string& out, bool shaped, const Payload& payload) {
  char bytes[Encoder::kMostPayload];
  Encoder encoder{bytes};
  encoder.Put(shaped, payload);
  out.append(bytes, static_cast<std::size_t>(encoder.at - bytes));
}

bool GetPayload(std::string_view& in, bool shaped, Payload& payload) {
  std::uint64_t value = 0;
  if (!GetVarint(in, value) || value >> 1 > kUnknownFirst) return false;
  payload.first = static_cast<std::uint16_t>(value >> 1);
  payload.last = payload.first;
  if ((value & 1) == 0) {
    payload.mask = PositionBit(payload.first);
  } else {
    std::uint64_t past = 0;
    if (in.size() < 8) return false;
    payload.mask = EightBytes(in);
    in.remove_prefix(8);
    if (!GetVarint(in, past) || past > std::uint64_t{kUnknownFirst} - payload.first) return false;
    payload.last = static_cast<std::uint16_t>(payload.first + past);
  }
  if (shaped) {
    if (in.empty()) return false;
    const auto run = static_cast<std::uint8_t>(in[0]);
    payload.run = run & kLongestRun;
    payload.longest = payload.run;
    in.remove_prefix(1);
    if ((run & 0x80) == 0) {
      if (in.empty()) return false;
      payload.longest = static_cast<std::uint8_t>(in[0]) & kLongestRun;
      in.remove_prefix(1);
    }
  }
  return true;
}

bool DecodeIds(std::string_view deltas, GramKey key, std::uint64_t count, GramPostings& into,
               bool idsOnly = false) {
  const bool masked = HasMasks(key);
  const bool shaped = ShapeOf(key) != RunShape::kNone;
  std::uint64_t id = 0;
  Payload payload;
  for (std::uint64_t i = 0; i < count; ++i) {
    std::uint64_t delta = 0;
    if (!GetVarint(deltas, delta)) return false;
    id += delta;
    if (id > UINT32_MAX) return false;
    into.ids.push_back(static_cast<std::uint32_t>(id));
    if (!masked) continue;
    if (!GetPayload(deltas, shaped, payload)) return false;
    if (idsOnly) continue;
    into.masks.push_back(payload.mask);
    into.firsts.push_back(payload.first);
    into.lasts.push_back(payload.last);
    if (shaped) {
      into.runs.push_back(payload.run);
      into.longest.push_back(payload.longest);
    }
  }
  return true;
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
    const bool shaped = ShapeOf(key) != RunShape::kNone;
    for (std::size_t i = 0; i < postings.ids.size(); ++i) {
      PutVarint(body, postings.ids[i] - last);
      last = postings.ids[i];
      if (HasMasks(key)) {
        PutPayload(body, shaped,
                   {postings.masks[i], postings.firsts[i], postings.lasts[i],
                    shaped ? postings.runs[i] : std::uint8_t{0},
                    shaped ? postings.longest[i] : std::uint8_t{0}});
      }
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

RunShape ShapeOf(GramKey key) {
  if (!HasMasks(key)) return RunShape::kNone;
  const auto a = (key >> 32) & 0xFFFF;
  const auto b = (key >> 16) & 0xFFFF;
  const auto c = key & 0xFFFF;
  if (a == b) return b == c ? RunShape::kWithin : RunShape::kRunBefore;
  return b == c ? RunShape::kRunAfter : RunShape::kNone;
}

namespace {
constexpr std::size_t kEntrySlots = 1 << 11;
constexpr int kEntryShift = 64 - 11;
// The stamp rides above a pair's 32 bits.
constexpr std::uint64_t kLastStamp = (std::uint64_t{1} << 32) - 1;
constexpr std::uint64_t kGolden = 0x9E3779B97F4A7C15ULL;
}  // namespace

GramCollector::GramCollector()
    : unigrams_(0x10000),
      lastIds_(0x10000, 0),
      pairs_(kPartitions),
      triples_(kPartitions),
      places_(kPartitions),
      bucketUnits_(kGramBuckets),
      pairSlots_(kEntrySlots, 0),
      pairShift_(kEntryShift) {}

inline void GramCollector::NotePair(std::uint32_t pair) {
  const std::uint64_t tag = stamp_ << 32 | pair;
  const std::size_t mask = pairSlots_.size() - 1;
  for (std::size_t i = (pair * kGolden) >> pairShift_;; i = (i + 1) & mask) {
    const std::uint64_t slot = pairSlots_[i];
    if (slot == tag) return;
    if (slot >> 32 == stamp_) continue;
    pairSlots_[i] = tag;
    entryPairs_.push_back(pair);
    if (entryPairs_.size() * 2 > pairSlots_.size()) WidenPairs();
    return;
  }
}

// A long entry gets larger sets, which hold just its own.
void GramCollector::WidenPairs() {
  pairSlots_.assign(pairSlots_.size() * 2, 0);
  --pairShift_;
  const std::size_t wider = pairSlots_.size() - 1;
  for (std::uint32_t met : entryPairs_) {
    std::size_t at = (met * kGolden) >> pairShift_;
    while (pairSlots_[at] != 0) at = (at + 1) & wider;
    pairSlots_[at] = stamp_ << 32 | met;
  }
}

// Appends to one of many streams written at once: the memory a few lines on is fetched ahead, as
// the processor would for one stream but not for so many.
template <typename Item>
inline void Append(std::vector<Item>& records, const Item& item) {
  records.push_back(item);
  __builtin_prefetch(reinterpret_cast<const char*>(records.data() + records.size()) + 256, 1);
}

// A triple's places in a row, as one record of its partition. The records of one entry and gram
// are joined when the bucket is written.
inline void GramCollector::NoteTriple(GramKey key, PositionMask mask, std::size_t first,
                                      std::size_t last, std::uint8_t run) {
  const std::uint32_t partition = BucketOf(key) / kPartitionBuckets;
  const auto storedFirst = static_cast<std::uint16_t>(std::min<std::size_t>(first, kUnknownFirst));
  const auto storedLast = static_cast<std::uint16_t>(std::min<std::size_t>(last, kUnknownFirst));
  Record record{key | GramKey{run} << kRunShift | GramKey{run} << kLongestShift, pendingId_,
                storedFirst};
  if (storedFirst == kUnknownFirst || storedLast != storedFirst || mask != PositionBit(first)) {
    record.keyAndRun |= kMorePlaces;
    record.first = static_cast<std::uint32_t>(places_[partition].size());
    places_[partition].push_back({mask, storedFirst, storedLast});
  }
  Append(triples_[partition], record);
  ++records_;
}

void GramCollector::Flush() {
  for (std::uint32_t pair : entryPairs_) {
    Append(pairs_[BucketOf(GramKey{1} << 32 | pair) / kPartitionBuckets],
           PairRecord{pair, pendingId_});
  }
  records_ += entryPairs_.size();
  entryPairs_.clear();
}

void GramCollector::NextEntry(std::uint32_t id) {
  Flush();
  pendingId_ = id;
  pendingOffset_ = 0;
  // The set goes back to its usual size after a long entry, and is cleared when the stamps
  // start again.
  const bool wide = pairSlots_.size() > kEntrySlots;
  if (++stamp_ > kLastStamp || wide) {
    if (stamp_ > kLastStamp) stamp_ = 1;
    pairSlots_.assign(kEntrySlots, 0);
    pairSlots_.shrink_to_fit();
    pairShift_ = kEntryShift;
  }
}

void GramCollector::Add(std::uint32_t id, std::u16string_view folded) {
  if (id != pendingId_) NextEntry(id);
  const std::uint32_t offset = pendingOffset_;
  pendingOffset_ += static_cast<std::uint32_t>(std::min<std::size_t>(folded.size() + 1, 1u << 20));
  // A run of one character (spaces, lines) gives the same grams at each step: they are noted
  // once, the triple with the positions of the whole run.
  const std::size_t n = folded.size();
  std::uint64_t bigram = ~std::uint64_t{0};  // none of the 32-bit pairs
  GramKey trigram = ~GramKey{0};
  PositionMask trigramMask = 0;
  std::size_t trigramFirst = 0;
  std::size_t trigramLast = 0;
  std::uint8_t trigramRun = 0;
  bool within = false;
  for (std::size_t i = 0; i < n; ++i) {
    if ((i == 0 || folded[i] != folded[i - 1]) && lastIds_[folded[i]] != id) {
      Postings& unigram = unigrams_[folded[i]];
      if (unigram.count++ == 0) ++unigramCount_;
      PutVarint(unigram.deltas, id - lastIds_[folded[i]]);
      lastIds_[folded[i]] = id;
    }
    if (i + 1 < n) {
      const std::uint32_t pair = std::uint32_t{folded[i]} << 16 | folded[i + 1];
      if (pair != bigram) NotePair(pair);
      bigram = pair;
    }
    if (i + 2 < n) {
      const char16_t a = folded[i];
      const char16_t b = folded[i + 1];
      const char16_t c = folded[i + 2];
      const GramKey key = TrigramKey(a, b, c);
      const std::size_t at = offset + i;
      const PositionMask bit = PositionBit(at);
      if (key != trigram) {
        if (trigramMask != 0) {
          NoteTriple(trigram, trigramMask, trigramFirst, trigramLast, trigramRun);
        }
        trigram = key;
        trigramMask = 0;
        trigramFirst = at;
        within = a == b && b == c;
        trigramRun = within ? 3 : 0;
        if (!within && b == c) {  // the run of c from b on
          std::size_t end = i + 1;
          while (end < n && folded[end] == b && end - (i + 1) < kLongestRun) ++end;
          trigramRun = static_cast<std::uint8_t>(end - (i + 1));
        } else if (!within && a == b) {  // the run of a up to b
          std::size_t length = 2;
          while (length < kLongestRun && length <= i + 1 && folded[i + 1 - length] == a) ++length;
          trigramRun = static_cast<std::uint8_t>(length);
        }
      } else if (trigramRun < kLongestRun) {
        ++trigramRun;  // the same triple again: one more of a run
      }
      trigramMask |= bit;
      trigramLast = at;
    }
  }
  if (trigramMask != 0) NoteTriple(trigram, trigramMask, trigramFirst, trigramLast, trigramRun);
}

// The records of a bucket grouped by gram: the grams in key order, and the records of each in
// the order they came (ids increasing), placed[start[g]] to placed[start[g + 1]]. Its buffers
// serve one bucket after another.
template <typename Item>
struct GramCollector::Grouped {
  std::vector<GramKey> keys;
  std::vector<std::uint32_t> start;
  std::vector<Item> placed;
  std::vector<std::pair<GramKey, std::uint32_t>> table;  // key + 1, gram; all free between uses
  std::vector<std::uint32_t> slots;                      // the slot of each gram
  std::vector<GramKey> met;
  std::vector<std::uint32_t> counts;
  std::vector<std::uint32_t> gramOf;
  std::vector<std::uint32_t> rank;
  std::vector<std::uint32_t> next;

  template <typename KeyOf>
  void Group(const std::vector<Item>& records, KeyOf keyOf) {
    // Each record's gram, through a small table of the keys met.
    std::size_t size = 16;
    while (size < records.size() * 2) size *= 2;
    if (table.size() < size) table.assign(size, {0, 0});
    met.clear();
    counts.clear();
    slots.clear();
    gramOf.resize(records.size());
    for (std::size_t r = 0; r < records.size(); ++r) {
      const GramKey key = keyOf(records[r]);
      std::size_t i = (key * 0x9E3779B97F4A7C15ULL) >> 32 & (size - 1);
      while (table[i].first != 0 && table[i].first != key + 1) i = (i + 1) & (size - 1);
      if (table[i].first == 0) {
        table[i] = {key + 1, static_cast<std::uint32_t>(met.size())};
        met.push_back(key);
        counts.push_back(0);
        slots.push_back(static_cast<std::uint32_t>(i));
      }
      gramOf[r] = table[i].second;
      ++counts[table[i].second];
    }
    for (std::uint32_t i : slots) table[i].first = 0;
    rank.resize(met.size());  // grams in key order
    for (std::uint32_t g = 0; g < rank.size(); ++g) rank[g] = g;
    std::sort(rank.begin(), rank.end(),
              [this](std::uint32_t a, std::uint32_t b) { return met[a] < met[b]; });
    keys.clear();
    start.assign(met.size() + 1, 0);
    next.resize(met.size());
    for (std::size_t k = 0; k < rank.size(); ++k) {
      keys.push_back(met[rank[k]]);
      next[rank[k]] = start[k];
      start[k + 1] = start[k] + counts[rank[k]];
    }
    placed.resize(records.size());
    for (std::size_t r = 0; r < records.size(); ++r) {
      placed[next[gramOf[r]]++] = records[r];
    }
  }
};

struct GramCollector::Scratch {
  std::vector<std::vector<PairRecord>> pairRecords;  // by bucket of a partition
  std::vector<std::vector<Record>> tripleRecords;
  Grouped<PairRecord> pairs;
  Grouped<Record> triples;
  std::string body;
  std::string directory;
};

// One bucket's blob: its unigrams, then its pairs and its triples, each grouped by key: key order.
std::string GramCollector::Bucket(const std::vector<char16_t>& units,
                                  const std::vector<PairRecord>& pairs,
                                  const std::vector<Record>& triples,
                                  const std::vector<Places>& places, Scratch& scratch) const {
  Grouped<PairRecord>& pairGrams = scratch.pairs;
  Grouped<Record>& tripleGrams = scratch.triples;
  pairGrams.Group(pairs, [](const PairRecord& record) { return GramKey{1} << 32 | record.pair; });
  tripleGrams.Group(triples, [](const Record& record) { return record.keyAndRun & kKeyBits; });
  const std::size_t grams = units.size() + pairGrams.keys.size() + tripleGrams.keys.size();
  if (grams == 0) return {};
  std::size_t most = pairs.size() * Encoder::kMostVarint +
                     triples.size() * (Encoder::kMostVarint + Encoder::kMostPayload);
  for (char16_t unit : units) most += unigrams_[unit].deltas.size();
  if (scratch.body.size() < most) scratch.body.resize(most);
  if (scratch.directory.size() < (grams + 1) * 3 * Encoder::kMostVarint) {
    scratch.directory.resize((grams + 1) * 3 * Encoder::kMostVarint);
  }
  Encoder body{scratch.body.data()};
  Encoder directory{scratch.directory.data()};
  directory.Varint(grams);
  GramKey previous = 0;
  const auto close = [&](GramKey key, std::uint64_t count, const char* at) {
    directory.Varint(key - previous);
    previous = key;
    directory.Varint(count);
    directory.Varint(static_cast<std::uint64_t>(body.at - at));
  };
  for (char16_t unit : units) {  // in increasing order
    const char* at = body.at;
    const Postings& unigram = unigrams_[unit];
    body.at = std::copy(unigram.deltas.begin(), unigram.deltas.end(), body.at);
    close(UnigramKey(unit), unigram.count, at);
  }
  // Add gathers an entry whole, so each id comes once per gram.
  for (std::size_t g = 0; g < pairGrams.keys.size(); ++g) {
    const char* at = body.at;
    std::uint32_t last = 0;
    for (std::uint32_t p = pairGrams.start[g]; p < pairGrams.start[g + 1]; ++p) {
      const PairRecord& record = pairGrams.placed[p];
      body.Varint(record.id - last);
      last = record.id;
    }
    close(pairGrams.keys[g], pairGrams.start[g + 1] - pairGrams.start[g], at);
  }
  // A triple's records of one entry, in the order of their places, are joined into one.
  const auto payloadOf = [&places](const Record& record) {
    const auto run = static_cast<std::uint8_t>(record.keyAndRun >> kRunShift & kLongestRun);
    const auto longest = static_cast<std::uint8_t>(record.keyAndRun >> kLongestShift & kLongestRun);
    if ((record.keyAndRun & kMorePlaces) == 0) {
      const auto first = static_cast<std::uint16_t>(record.first);
      return Payload{PositionBit(first), first, first, run, longest};
    }
    const Places& more = places[record.first];
    return Payload{more.mask, more.first, more.last, run, longest};
  };
  for (std::size_t g = 0; g < tripleGrams.keys.size(); ++g) {
    const char* at = body.at;
    const RunShape shape = ShapeOf(tripleGrams.keys[g]);
    const bool shaped = shape != RunShape::kNone;
    const Record* record = tripleGrams.placed.data() + tripleGrams.start[g];
    const Record* const end = tripleGrams.placed.data() + tripleGrams.start[g + 1];
    std::uint32_t last = 0;
    std::uint64_t count = 0;
    while (record != end) {
      const std::uint32_t id = record->id;
      body.Varint(id - last);
      last = id;
      ++count;
      Payload payload = payloadOf(*record);
      for (++record; record != end && record->id == id; ++record) {
        const Payload more = payloadOf(*record);
        payload.mask |= more.mask;
        payload.last = more.last;
        payload.longest = std::max(payload.longest, more.longest);
      }
      // Within a run the length that counts is the longest; at its edge, the first place's.
      if (shape == RunShape::kWithin) payload.run = payload.longest;
      body.Put(shaped, payload);
    }
    close(tripleGrams.keys[g], count, at);
  }
  const auto directoryBytes = static_cast<std::size_t>(directory.at - scratch.directory.data());
  const auto bodyBytes = static_cast<std::size_t>(body.at - scratch.body.data());
  std::string out;
  out.reserve(directoryBytes + bodyBytes);
  out.append(scratch.directory.data(), directoryBytes);
  out.append(scratch.body.data(), bodyBytes);
  return out;
}

void GramCollector::Seal() {
  Flush();
  for (auto& units : bucketUnits_) units.clear();
  for (std::size_t c = 0; c < unigrams_.size(); ++c) {
    const auto unit = static_cast<char16_t>(c);
    if (unigrams_[c].count != 0) bucketUnits_[BucketOf(UnigramKey(unit))].push_back(unit);
  }
}

void GramCollector::PartitionBuckets(std::uint32_t partition,
                                     std::vector<std::string>& blobs) const {
  // Each thread keeps its buffers for the next partition.
  thread_local Scratch scratch;
  // The partition's records parted by bucket, in the order they came.
  for (auto& records : scratch.pairRecords) records.clear();
  for (auto& records : scratch.tripleRecords) records.clear();
  scratch.pairRecords.resize(kPartitionBuckets);
  scratch.tripleRecords.resize(kPartitionBuckets);
  for (const PairRecord& record : pairs_[partition]) {
    Append(scratch.pairRecords[BucketOf(GramKey{1} << 32 | record.pair) % kPartitionBuckets],
           record);
  }
  for (const Record& record : triples_[partition]) {
    Append(scratch.tripleRecords[BucketOf(record.keyAndRun & kKeyBits) % kPartitionBuckets],
           record);
  }
  blobs.resize(kPartitionBuckets);
  for (std::uint32_t j = 0; j < kPartitionBuckets; ++j) {
    const std::uint32_t b = partition * kPartitionBuckets + j;
    blobs[j] = Bucket(bucketUnits_[b], scratch.pairRecords[j], scratch.tripleRecords[j],
                      places_[partition], scratch);
  }
}

void GramCollector::Clear() {
  for (std::uint32_t p = 0; p < kPartitions; ++p) {
    pairs_[p].clear();
    triples_[p].clear();
    places_[p].clear();
  }
  for (std::size_t c = 0; c < unigrams_.size(); ++c) {
    if (unigrams_[c].count == 0) continue;
    unigrams_[c].count = 0;
    unigrams_[c].deltas.clear();
    lastIds_[c] = 0;
  }
  unigramCount_ = 0;
  records_ = 0;
}

std::vector<std::string> GramCollector::Buckets() {
  Seal();
  std::vector<std::string> blobs(kGramBuckets);
  std::vector<std::string> partition;
  for (std::uint32_t p = 0; p < kPartitions; ++p) {
    PartitionBuckets(p, partition);
    std::move(partition.begin(), partition.end(), blobs.begin() + p * kPartitionBuckets);
  }
  Clear();
  return blobs;
}

bool ReadPostings(std::string_view blob, GramKey key, GramPostings& postings, bool idsOnly) {
  std::vector<Directory> grams;
  if (!ReadDirectory(blob, grams)) return false;
  std::uint64_t offset = 0;
  for (const Directory& gram : grams) {
    if (gram.key == key) {
      return DecodeIds(blob.substr(offset, gram.bytes), key, gram.count, postings, idsOnly);
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
    const bool shaped = ShapeOf(key) != RunShape::kNone;
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
      Payload payload;
      for (std::uint64_t n = 0; n < parts[i].count; ++n) {
        std::uint64_t delta = 0;
        if ((n > 0 && !GetVarint(deltas, delta)) ||
            (masked && !GetPayload(deltas, shaped, payload))) {
          ok = false;
          return {};
        }
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
    read = GramPostings();
    const bool masked = HasMasks(list.key);
    const bool shaped = ShapeOf(list.key) != RunShape::kNone;
    if (!DecodeIds(list.deltas, list.key, list.count, read)) {
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
        into.lasts.push_back(read.lasts[i]);
      }
      if (shaped) {
        into.runs.push_back(read.runs[i]);
        into.longest.push_back(read.longest[i]);
      }
    }
  }
  for (auto it = merged.begin(); it != merged.end();) {
    it = it->second.ids.empty() ? merged.erase(it) : std::next(it);
  }
  return merged.empty() ? std::string() : WriteBucket(merged);
}

}  // namespace koron
