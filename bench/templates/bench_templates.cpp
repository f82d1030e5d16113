// Template lookups on a large list file, each beside a decode-only pass of the same converter
// over the same file. A lookup that converted every line would cost at least the decode pass;
// converting only the lines that begin with "[" should make it cheaper.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unicode/ucnv.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "templates/template_list.h"

namespace {

constexpr char kConverter[] = "windows-31j";  // the name the line reader's converter answers to
constexpr std::size_t kTargetBytes = 50u * 1000 * 1000;
constexpr std::size_t kChunk = 64 * 1024;

std::string g_path;
std::u16string g_last_name;
std::size_t g_entries = 0;
std::size_t g_bytes = 0;

std::string Encode(UConverter* converter, const std::u16string& text) {
  std::string bytes(text.size() * 2 + 1, '\0');
  UErrorCode error = U_ZERO_ERROR;
  const int32_t length = ucnv_fromUChars(
      converter, bytes.data(), static_cast<int32_t>(bytes.size()),
      reinterpret_cast<const UChar*>(text.data()), static_cast<int32_t>(text.size()), &error);
  if (U_FAILURE(error)) std::abort();
  bytes.resize(static_cast<std::size_t>(length));
  return bytes;
}

// Writes about kTargetBytes of entries: a Japanese header, then text-art lines of full-width and
// half-width characters, now and then one that begins with a bracket without being a header.
void GenerateListFile(const std::string& path) {
  const std::u16string pieces[] = {u"\u3000\u3000\u3000",
                                   u"\uFF3C",
                                   u"\uFF09",
                                   u"\uFF36",
                                   u"(\uFF9F\u2200\uFF9F)",
                                   u"\u30FC\u30FC",
                                   u"\u30BE",
                                   u"\u732B",
                                   u"\u72AC",
                                   u"\u5148\u751F",
                                   u" | ",
                                   u"..",
                                   u"\u2460",
                                   u"\uFF5E",
                                   u"\u3064"};
  UErrorCode error = U_ZERO_ERROR;
  UConverter* converter = ucnv_open(kConverter, &error);
  if (U_FAILURE(error)) std::abort();
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  std::uint32_t seed = 12345;
  auto next = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return seed >> 8;
  };
  std::string entry;
  while (g_bytes < kTargetBytes) {
    const std::u16string name =
        u"\u30C6\u30F3\u30D7\u30EC\u30FC\u30C8" +
        std::u16string(u"0123456789").substr(0, 1 + g_entries % 10) + u"\u756A" +
        std::u16string(1, static_cast<char16_t>(u'A' + g_entries % 26)) +
        std::u16string(1, static_cast<char16_t>(u'0' + (g_entries / 26) % 10)) +
        std::u16string(1, static_cast<char16_t>(u'0' + (g_entries / 260) % 10)) +
        std::u16string(1, static_cast<char16_t>(u'0' + (g_entries / 2600) % 10)) +
        std::u16string(1, static_cast<char16_t>(u'0' + (g_entries / 26000) % 10));
    entry = Encode(converter, u"[" + name + u"]") + "\r\n";
    const unsigned lines = 8 + next() % 24;
    for (unsigned i = 0; i < lines; ++i) {
      std::u16string line = (next() % 50 == 0) ? u"[" : u"";
      const unsigned count = 4 + next() % 20;
      for (unsigned j = 0; j < count; ++j) line += pieces[next() % std::size(pieces)];
      entry += Encode(converter, line) + "\r\n";
    }
    out << entry;
    g_bytes += entry.size();
    g_last_name = name;
    ++g_entries;
  }
  ucnv_close(converter);
}

void DecodeOnly(benchmark::State& state) {
  std::vector<char> bytes(kChunk);
  std::vector<UChar> text(kChunk + 16);
  UErrorCode error = U_ZERO_ERROR;
  UConverter* converter = ucnv_open(kConverter, &error);
  for (auto _ : state) {
    int fd = ::open(g_path.c_str(), O_RDONLY);
    ucnv_resetToUnicode(converter);
    std::size_t units = 0;
    for (;;) {
      const ssize_t count = ::read(fd, bytes.data(), bytes.size());
      const char* source = bytes.data();
      const char* source_end = source + (count > 0 ? count : 0);
      const bool last = count <= 0;
      do {
        UChar* target = text.data();
        error = U_ZERO_ERROR;
        ucnv_toUnicode(converter, &target, text.data() + text.size(), &source, source_end, nullptr,
                       last, &error);
        units += static_cast<std::size_t>(target - text.data());
      } while (error == U_BUFFER_OVERFLOW_ERROR);
      if (last) break;
    }
    ::close(fd);
    benchmark::DoNotOptimize(units);
  }
  ucnv_close(converter);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * g_bytes));
}

void FindLastTemplate(benchmark::State& state) {
  for (auto _ : state) {
    std::u16string body = koron::FindTemplateBody(g_path, g_last_name);
    if (body.empty()) state.SkipWithError("last template not found");
    benchmark::DoNotOptimize(body);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * g_bytes));
}

void ListNames(benchmark::State& state) {
  for (auto _ : state) {
    std::vector<std::u16string> names = koron::ListTemplateNames(g_path);
    if (names.size() != g_entries) state.SkipWithError("wrong number of names");
    benchmark::DoNotOptimize(names);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * g_bytes));
}

BENCHMARK(DecodeOnly)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(FindLastTemplate)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(ListNames)->Unit(benchmark::kMillisecond)->Repetitions(5);

// Keeps the median time of each benchmark to print the ratios at the end.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
        medians_[run.run_name.function_name] = run.GetAdjustedRealTime();
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  double Median(const std::string& name) const {
    const auto found = medians_.find(name);
    return found == medians_.end() ? 0 : found->second;
  }

 private:
  std::map<std::string, double> medians_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("koron-bench-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  g_path = (dir / "AAList_big.txt").string();
  GenerateListFile(g_path);
  std::printf("list file: %.1f MB, %zu entries\n", g_bytes / 1e6, g_entries);

  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  std::filesystem::remove_all(dir);

  const double decode = reporter.Median("DecodeOnly");
  if (decode > 0) {
    std::printf("\nratio to the decode-only pass (median; goal <= 1.0):\n");
    for (const char* name : {"FindLastTemplate", "ListNames"}) {
      const double time = reporter.Median(name);
      if (time > 0) std::printf("  %-18s %.3f\n", name, time / decode);
    }
  }
  return 0;
}
