#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace koron {

// The search index: for every character, every pair and every triple of adjacent characters
// (UTF-16 code units) of the folded fields, the ids of the entries that hold it. A term of up to
// three code units is answered from it exactly; a longer one narrows the entries to those holding
// all its triples, and those the places below do not settle are then read. A triple's ids carry
// where in the entry it stands, modulo 64, as a mask of 64 bits: a term's triples must stand one
// after another, which leaves few entries to read even when each triple is common.
//
// Grams are spread over kGramBuckets buckets; a bucket is one blob, so an index of a million
// grams is a few thousand rows, and a search reads one row per gram. A bucket blob holds a
// directory (gram count, then for each gram in key order: key delta, id count, byte length)
// and then each gram's ids, increasing, as deltas, all in LEB128 varints. After each id of a
// triple comes its first position in the entry, doubled, plus one when more follows (a varint):
// its mask, eight bytes, low byte first, and how far its last position is past the first (a
// varint), unless it stands just once or only where the first position's bit says; and
// for a triple at the edge of a run of one character or inside one, two run lengths: a byte with
// its top bit set when they are equal, else a byte each.
// Positions count through the entry's fields one after another, each field one past the end of
// the one before, so that a term's triples in a row have first positions in a row only where the
// term stands; a position past 65,534 is stored as kUnknownFirst.
//
// The run lengths settle the terms the first positions cannot, those with a run of three or
// more: "xcc" (c a run) keeps how many c stand from its first place on and the most that stand
// after any x, "ccx" how many end at its first place and the most that end before any x, and
// "ccc" the longest run of c in the entry, twice; each is at most kLongestRun.
using GramKey = std::uint64_t;
inline constexpr std::uint32_t kGramBuckets = 4096;

GramKey UnigramKey(char16_t c);
GramKey BigramKey(char16_t first, char16_t second);
GramKey TrigramKey(char16_t first, char16_t second, char16_t third);
std::uint32_t BucketOf(GramKey key);
// Whether the key's ids carry position masks: those of triples.
inline bool HasMasks(GramKey key) { return key >> 48 != 0; }
inline constexpr std::uint16_t kUnknownFirst = 0xFFFF;
inline constexpr std::uint8_t kLongestRun = 127;
// The places a triple stands in an entry, modulo 64.
using PositionMask = std::uint64_t;
inline constexpr unsigned kMaskBits = 64;
inline PositionMask PositionBit(std::size_t position) {
  return PositionMask{1} << (position % kMaskBits);
}

// Where a triple stands in a run of one character, which tells what its run length means.
enum class RunShape { kNone, kRunAfter, kRunBefore, kWithin };  // "xcc", "ccx", "ccc"
RunShape ShapeOf(GramKey key);

// One gram's ids, increasing; for a triple each id's position mask, first and last position, and
// its two run lengths when it has a run shape.
struct GramPostings {
  std::vector<std::uint32_t> ids;
  std::vector<PositionMask> masks;
  std::vector<std::uint16_t> firsts;
  std::vector<std::uint16_t> lasts;
  std::vector<std::uint8_t> runs;
  std::vector<std::uint8_t> longest;
};

// Collects the grams of entries given in increasing id order.
class GramCollector {
 public:
  GramCollector();
  // Adds the grams of one field of entry `id`; call for each field of an entry in turn.
  void Add(std::uint32_t id, std::u16string_view folded);
  bool empty() const { return unigramCount_ == 0 && records_ == 0 && entryPairs_.empty(); }
  // Pairs collected, each once per entry, and triples, once per row of places in an entry: what
  // the collector's memory grows with.
  std::size_t size() const { return records_ + entryPairs_.size(); }
  // The buckets' blobs; empty strings for buckets with no gram. The collector is empty again
  // afterwards, ready for the next batch, and keeps its memory for it.
  std::vector<std::string> Buckets();

  // The same in parts, which several threads may share: Seal() once, then PartitionBuckets()
  // for each partition (each once, on any thread, at once), then Clear().
  static constexpr std::uint32_t kPartitionBuckets = 64;
  static constexpr std::uint32_t kPartitions = kGramBuckets / kPartitionBuckets;
  void Seal();
  // The blobs of buckets partition * kPartitionBuckets + j, j < kPartitionBuckets, in order.
  void PartitionBuckets(std::uint32_t partition, std::vector<std::string>& blobs) const;
  void Clear();

 private:
  struct Postings {
    std::uint32_t count = 0;
    std::string deltas;
  };
  // A triple in one entry, at one place or a row of them (in a run of one character). Kept in
  // the order entries come, so that writing them is a few streams rather than a visit to a
  // large table for each. A key fits in 49 bits; the run lengths ride above it, and above them
  // a bit that says the record holds more than one place: then `first` is the index of its
  // Places in the partition. Most hold one, and are kept in these 16 bytes alone.
  struct Record {
    GramKey keyAndRun;
    std::uint32_t id;
    std::uint32_t first;
  };
  struct Places {
    PositionMask mask;
    std::uint16_t first;
    std::uint16_t last;
  };
  // A pair in one entry: its two units.
  struct PairRecord {
    std::uint32_t pair;
    std::uint32_t id;
  };
  void NotePair(std::uint32_t pair);
  void NoteTriple(GramKey key, PositionMask mask, std::size_t first, std::size_t last,
                  std::uint8_t run);
  void WidenPairs();
  void NextEntry(std::uint32_t id);
  void Flush();
  template <typename Item>
  struct Grouped;
  struct Scratch;
  std::string Bucket(const std::vector<char16_t>& units, const std::vector<PairRecord>& pairs,
                     const std::vector<Record>& triples, const std::vector<Places>& places,
                     Scratch& scratch) const;

  std::vector<Postings> unigrams_;      // by code unit
  std::vector<std::uint32_t> lastIds_;  // by code unit, the last id added: small enough to stay
                                        // in the cache, as the postings would not
  std::size_t unigramCount_ = 0;
  // Records are kept by partitions of kPartitionBuckets buckets, few enough that adding to each
  // stays in the cache, and parted by bucket when the buckets are written.
  std::vector<std::vector<PairRecord>> pairs_;      // by partition
  std::vector<std::vector<Record>> triples_;        // by partition
  std::vector<std::vector<Places>> places_;         // by partition
  std::vector<std::vector<char16_t>> bucketUnits_;  // by bucket, its unigrams once sealed
  std::size_t records_ = 0;
  // The pairs of the entry being added, each once, in an open-addressed set whose slots carry
  // the entry's stamp beside the pair: a slot of an earlier entry is free, so the set needs no
  // clearing between entries. Small, so that it stays in the first-level cache. (A triple is
  // rarely met twice in an entry, so its records go straight to their partition, and those of
  // one entry are joined when the bucket is written.)
  std::uint32_t pendingId_ = 0;
  std::uint32_t pendingOffset_ = 0;        // where the entry's next field starts
  std::uint64_t stamp_ = 0;                // counts entries; wraps within its bits
  std::vector<std::uint64_t> pairSlots_;   // stamp << 32 | pair
  std::vector<std::uint32_t> entryPairs_;  // the entry's pairs, in the order met
  int pairShift_ = 0;                      // a hash's top bits index the set
};

// Appends the ids (and the rest, unless `idsOnly`) of `key` held in a bucket blob to `postings`,
// which stays increasing when blobs are read oldest first. False when the blob is damaged.
bool ReadPostings(std::string_view blob, GramKey key, GramPostings& postings, bool idsOnly = false);

// Merges the blobs of one bucket from several segments, oldest first, into one, keeping the ids
// for which `live` is true; with no `live`, every id is kept and the lists are joined as they
// are stored. Empty when nothing is left; false in `ok` when a blob is damaged.
std::string MergeBuckets(const std::vector<std::string_view>& blobs,
                         const std::function<bool(std::uint32_t)>& live, bool& ok);

}  // namespace koron
