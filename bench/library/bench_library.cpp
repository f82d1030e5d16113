// The library at the size of a large collection: 1,000 MLT files of pictures made here, about
// 100 MB in code page 932 and 100,000 pages. Each figure is a ratio against a baseline run in
// the same process:
//   first indexing          / a decode-only pass over the same files      (goal <= 6)
//   reopening, unchanged    / a stat of every file                         (goal <= 3)
//   after one file changes  : the files read again                         (goal 1)
//   search, 100 queries     / one brute-force scan of all folded texts     (p95 goal <= 0.2, <= 50
//   ms) resident memory of a search process, against the library's size       (goal <= size + 100
//   MB)
//
//   bench_library [FILES]   (FILES defaults to 1000; fewer for a quick look)
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/library_generator.h"
#include "library/library_index.h"
#include "library/search_folding.h"
#include "text/line_reader.h"

namespace {

using Clock = std::chrono::steady_clock;
double Ms(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

using koron::bench::MakeLibrary;

std::vector<std::string> Files(const std::string& work) {
  std::vector<std::string> paths;
  for (const auto& item : std::filesystem::directory_iterator(work + "/AA/pack")) {
    paths.push_back(item.path().string());
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

double DecodeOnly(const std::vector<std::string>& paths) {
  const auto start = Clock::now();
  std::size_t units = 0;
  koron::LineReader reader;
  std::u16string line;
  for (const std::string& path : paths) {
    if (!reader.Open(path)) continue;
    while (reader.NextLine(line)) units += line.size();
  }
  const auto end = Clock::now();
  if (units == 0) std::puts("nothing decoded");
  return Ms(start, end);
}

double StatAll(const std::string& work, const std::vector<std::string>& paths) {
  const auto start = Clock::now();
  struct stat info {};
  stat((work + "/AA").c_str(), &info);
  stat((work + "/AA/pack").c_str(), &info);
  for (const std::string& path : paths) stat(path.c_str(), &info);
  return Ms(start, Clock::now());
}

koron::LibraryOptions Options(const std::string& work, const std::string& cache) {
  koron::LibraryOptions options;
  options.workFolder = work;
  options.cacheFolder = cache;
  return options;
}

std::vector<std::u16string> Queries(koron::Library& library) {
  std::vector<std::u16string> queries = {
      u"夫", u"やる", u"やる夫", u"ﾔﾙｵ", u"ミ",     u"彡",   u"∀",    u"ω",   u"第２", u"【",
      u"ok", u"AA",   u"th",     u"tha", u"thanks", u"ねこ", u"ｼｮﾎﾞ", u"ｷﾀｰ", u"だん", u"かえる"};
  std::mt19937 random(7);
  const auto& entries = library.Entries();
  while (queries.size() < 100) {
    const std::u16string text = library.Text(entries[random() % entries.size()]);
    const std::size_t length = 1 + random() % 8;
    if (text.size() <= length) continue;
    std::u16string query = text.substr(random() % (text.size() - length), length);
    // A query of blanks only is no search: it lists everything.
    if (query.find_first_of(u"\r\n") != std::u16string::npos) continue;
    if (koron::SplitQuery(query).empty()) continue;
    queries.push_back(query);
  }
  return queries;
}

// One scan of every folded text for every term, as a search without an index would.
double Scan(const std::vector<std::u16string>& folded, const std::u16string& query) {
  const auto start = Clock::now();
  const std::vector<std::u16string> terms = koron::SplitQuery(query);
  std::size_t found = 0;
  for (const std::u16string& text : folded) {
    bool all = true;
    for (const std::u16string& term : terms) all = all && text.find(term) != std::u16string::npos;
    found += all;
  }
  const double ms = Ms(start, Clock::now());
  return found == static_cast<std::size_t>(-1) ? 0 : ms;
}

std::string QueryText(const std::u16string& query) {
  std::string out;
  for (char16_t c : query) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// Runs the searches in a process of its own and writes its peak resident memory in kB: the
// kernel's figure for the process, which a fork would share with the parent.
int SearchOnly(const std::string& work, const std::string& cache) {
  auto library = koron::Library::Open(Options(work, cache));
  for (const std::u16string& query : Queries(*library)) library->Search(query);
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmHWM:", 0) == 0) std::printf("%ld\n", std::atol(line.c_str() + 6));
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--search-only") return SearchOnly(argv[2], argv[3]);
  const int files = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000;
  char pattern[] = "/tmp/koron-bench-library-XXXXXX";
  if (mkdtemp(pattern) == nullptr) return 1;
  const std::string root = pattern;
  const std::string work = root + "/work";
  const std::string cache = root + "/cache";
  const std::uint64_t bytes = MakeLibrary(work, files);
  // The files written to disk before anything is timed, so that writing them back does not
  // fall inside a measurement.
  sync();
  const std::vector<std::string> paths = Files(work);
  std::printf("library: %d files, %.1f MB in code page 932\n", files, bytes / 1e6);

  DecodeOnly(paths);  // the files into the page cache
  const double decode = DecodeOnly(paths);
  auto start = Clock::now();
  auto library = koron::Library::Open(Options(work, cache));
  const double index = Ms(start, Clock::now());
  const std::size_t entries = library->Entries().size();
  std::printf("first indexing %.0f ms / decode-only %.0f ms: ratio %.2f (goal <= 6); %zu pages\n",
              index, decode, index / decode, entries);

  // The window's worker shows what is indexed so far: a snapshot loaded at most every 1.5 s, and
  // never more often than ten times its own cost; and, for the worst case, after every commit.
  for (const bool spaced : {true, false}) {
    koron::LibraryOptions options =
        Options(work, root + (spaced ? "/cache-spaced" : "/cache-each"));
    int snapshots = 0;
    Clock::time_point last = Clock::now();
    Clock::duration cost{};
    options.committed = [&](const std::function<std::unique_ptr<koron::Library>()>& snapshot) {
      const Clock::time_point now = Clock::now();
      if (spaced &&
          now - last < std::max<Clock::duration>(std::chrono::milliseconds(1500), cost * 10)) {
        return;
      }
      if (auto partial = snapshot()) partial->Entries();
      ++snapshots;
      last = Clock::now();
      cost = last - now;
    };
    sync();  // the index before, written back first
    start = Clock::now();
    koron::Library::Open(options);
    const double shown = Ms(start, Clock::now());
    std::printf("first indexing with %d snapshots (%s) %.0f ms: ratio to without %.2f\n", snapshots,
                spaced ? "spaced" : "each commit", shown, shown / index);
  }

  std::vector<double> opens, stats;
  for (int i = 0; i < 5; ++i) {
    stats.push_back(StatAll(work, paths));
    start = Clock::now();
    library = koron::Library::Open(Options(work, cache));
    opens.push_back(Ms(start, Clock::now()));
  }
  std::sort(opens.begin(), opens.end());
  std::sort(stats.begin(), stats.end());
  std::printf("reopening %.2f ms / stat of every file %.2f ms: ratio %.2f (goal <= 3), %zu read\n",
              opens[2], stats[2], opens[2] / stats[2], library->FilesRead());

  std::ofstream(paths[files / 2], std::ios::app) << "[SPLIT]\r\nnew page\r\n";
  start = Clock::now();
  library = koron::Library::Open(Options(work, cache));
  const double changed = Ms(start, Clock::now());
  std::printf("after one file changes: %zu file read, %.1f ms (ratio to the stat %.1f)\n",
              library->FilesRead(), changed, changed / stats[2]);

  const std::vector<std::u16string> queries = Queries(*library);
  std::vector<std::u16string> folded;
  for (const auto& entry : library->Entries()) {
    folded.push_back(koron::FoldForSearch(library->Text(entry)));
  }
  std::vector<double> ratios, times;
  for (const std::u16string& query : queries) {
    const double scan = Scan(folded, query);
    start = Clock::now();
    library->Search(query);
    const double search = Ms(start, Clock::now());
    times.push_back(search);
    ratios.push_back(search / scan);
    if (std::getenv("KORON_BENCH_VERBOSE") != nullptr) {
      std::printf("  %7.2f ms %6.3f  %s\n", search, search / scan, QueryText(query).c_str());
    }
  }
  std::sort(ratios.begin(), ratios.end());
  std::sort(times.begin(), times.end());
  std::printf(
      "search, %zu queries of 1 to 8 characters: ratio to a scan median %.3f, p95 %.3f "
      "(goal <= 0.2); time median %.2f ms, p95 %.2f ms (goal <= 50)\n",
      queries.size(), ratios[ratios.size() / 2], ratios[ratios.size() * 95 / 100],
      times[times.size() / 2], times[times.size() * 95 / 100]);
  library.reset();
  folded.clear();

  char self[4096] = {};
  if (readlink("/proc/self/exe", self, sizeof self - 1) <= 0) return 1;
  const std::string command = std::string(self) + " --search-only '" + work + "' '" + cache + "'";
  FILE* child = popen(command.c_str(), "r");
  long peakKb = 0;
  if (child == nullptr || std::fscanf(child, "%ld", &peakKb) != 1) peakKb = 0;
  if (child != nullptr) pclose(child);
  const double peakMb = peakKb / 1024.0;
  std::printf(
      "resident memory of a search: %.1f MB against the library's %.1f MB: %.1f MB over "
      "(goal <= 100)\n",
      peakMb, bytes / 1e6, peakMb - bytes / 1e6);
  std::filesystem::remove_all(root);
  return 0;
}
