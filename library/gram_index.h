#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace koron {

// The search index: for every character and every pair of adjacent characters (UTF-16 code
// units) of the folded fields, the ids of the entries that hold it. A term of one or two code
// units is answered from it exactly; a longer one narrows the entries to those holding all its
// pairs, which are then read.
//
// Grams are spread over kGramBuckets buckets; a bucket is one blob, so an index of a million
// grams is a few thousand rows, and a search reads one row per gram. A bucket blob holds a
// directory (gram count, then for each gram in key order: key delta, id count, byte length)
// and then each gram's ids, increasing, as deltas, all in LEB128 varints.
using GramKey = std::uint64_t;
inline constexpr std::uint32_t kGramBuckets = 4096;

GramKey UnigramKey(char16_t c);
GramKey BigramKey(char16_t first, char16_t second);
std::uint32_t BucketOf(GramKey key);

// Collects the grams of entries given in increasing id order.
class GramCollector {
 public:
  GramCollector();
  // Adds the grams of one field of entry `id`; call for each field of an entry in turn.
  void Add(std::uint32_t id, std::u16string_view folded);
  bool empty() const { return unigramCount_ == 0 && bigrams_.empty(); }
  // The buckets' blobs; empty strings for buckets with no gram.
  std::vector<std::string> Buckets() const;

 private:
  struct Postings {
    std::uint32_t last = 0;  // the last id added (ids start at 1)
    std::uint32_t count = 0;
    std::string deltas;
  };
  static void Append(Postings& postings, std::uint32_t id);
  Postings& Bigram(std::uint32_t pair);
  void Grow();

  std::vector<Postings> unigrams_;  // by code unit
  std::size_t unigramCount_ = 0;
  std::vector<Postings> bigrams_;
  // Open addressing: pair + 1 (0 is free) and its index into bigrams_.
  std::vector<std::uint64_t> slots_;
};

// Appends the ids of `key` held in a bucket blob to `ids`, which stays increasing when blobs
// are read oldest first. False when the blob is damaged.
bool ReadPostings(std::string_view blob, GramKey key, std::vector<std::uint32_t>& ids);

// Merges the blobs of one bucket from several segments, oldest first, into one, keeping the ids
// for which `live` is true. Empty when nothing is left; false in `ok` when a blob is damaged.
std::string MergeBuckets(const std::vector<std::string_view>& blobs,
                         const std::function<bool(std::uint32_t)>& live, bool& ok);

}  // namespace koron
