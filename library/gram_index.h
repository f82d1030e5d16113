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
// all its triples, which are then read. A triple's ids carry where in the field it stands,
// modulo 16, as a mask of 16 bits: a term's triples must stand one after another, which leaves
// few entries to read even when each triple is common.
//
// Grams are spread over kGramBuckets buckets; a bucket is one blob, so an index of a million
// grams is a few thousand rows, and a search reads one row per gram. A bucket blob holds a
// directory (gram count, then for each gram in key order: key delta, id count, byte length)
// and then each gram's ids, increasing, as deltas, all in LEB128 varints; after each id of a
// triple, its mask and then its first position in the entry, two bytes each, low byte first.
// Positions count through the entry's fields one after another, each field one past the end of
// the one before, so that a term's triples in a row have first positions in a row only where the
// term stands; a position past 65,534 is stored as kUnknownFirst.
using GramKey = std::uint64_t;
inline constexpr std::uint32_t kGramBuckets = 4096;

GramKey UnigramKey(char16_t c);
GramKey BigramKey(char16_t first, char16_t second);
GramKey TrigramKey(char16_t first, char16_t second, char16_t third);
std::uint32_t BucketOf(GramKey key);
// Whether the key's ids carry position masks: those of triples.
inline bool HasMasks(GramKey key) { return key >> 48 != 0; }
inline constexpr std::uint16_t kUnknownFirst = 0xFFFF;

// One gram's ids, increasing, and for a triple each id's position mask and first position.
struct GramPostings {
  std::vector<std::uint32_t> ids;
  std::vector<std::uint16_t> masks;
  std::vector<std::uint16_t> firsts;
};

// Collects the grams of entries given in increasing id order.
class GramCollector {
 public:
  GramCollector();
  // Adds the grams of one field of entry `id`; call for each field of an entry in turn.
  void Add(std::uint32_t id, std::u16string_view folded);
  bool empty() const { return unigramCount_ == 0 && records_ == 0 && pendingSlots_.empty(); }
  // Pairs and triples collected, each once per entry: what the collector's memory grows with.
  std::size_t size() const { return records_ + pendingSlots_.size(); }
  // The buckets' blobs; empty strings for buckets with no gram.
  std::vector<std::string> Buckets();

 private:
  struct Postings {
    std::uint32_t last = 0;  // the last id added (ids start at 1)
    std::uint32_t count = 0;
    std::string deltas;
  };
  // A pair or triple in one entry. Kept by bucket, in the order entries come, so that writing
  // them is a few streams rather than a visit to a large table for each.
  struct Record {
    GramKey key;
    std::uint32_t id;
    std::uint16_t mask;
    std::uint16_t first;
  };
  static void Append(Postings& postings, std::uint32_t id);
  void Note(GramKey key, std::uint16_t bit, std::uint32_t first);
  void WidenPending();
  void Flush();
  std::string Bucket(std::uint32_t bucket, const std::vector<char16_t>& units) const;

  std::vector<Postings> unigrams_;  // by code unit
  std::size_t unigramCount_ = 0;
  std::vector<std::vector<Record>> streams_;  // by bucket
  std::size_t records_ = 0;
  // The pairs and triples of the entry being added, each once with its mask.
  struct Pending {
    GramKey tag = 0;  // key + 1; 0 is free
    std::uint16_t mask = 0;
    std::uint16_t first = kUnknownFirst;
  };
  static constexpr std::size_t kPendingSlots = 1 << 12;
  static constexpr int kPendingShift = 64 - 12;
  std::vector<Pending> pending_;
  int pendingShift_ = kPendingShift;  // a hash's top bits index the table
  std::vector<std::uint32_t> pendingSlots_;
  std::uint32_t pendingId_ = 0;
  std::uint32_t pendingOffset_ = 0;  // where the entry's next field starts
};

// Appends the ids (and masks) of `key` held in a bucket blob to `postings`, which stays
// increasing when blobs are read oldest first. False when the blob is damaged.
bool ReadPostings(std::string_view blob, GramKey key, GramPostings& postings);

// Merges the blobs of one bucket from several segments, oldest first, into one, keeping the ids
// for which `live` is true; with no `live`, every id is kept and the lists are joined as they
// are stored. Empty when nothing is left; false in `ok` when a blob is damaged.
std::string MergeBuckets(const std::vector<std::string_view>& blobs,
                         const std::function<bool(std::uint32_t)>& live, bool& ok);

}  // namespace koron
