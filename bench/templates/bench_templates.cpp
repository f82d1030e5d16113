// Template lookups on a large list file, each beside a decode-only pass of the same converter
// over the same file. A lookup that converted every line would cost at least the decode pass;
// converting only the lines that begin with "[" should make it cheaper. The same list is
// measured twice: in code page 932 with CR LF, and in UTF-8 with LF as Linux editors save it.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unicode/ucnv.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/ratio_reporter.h"
#include "templates/template_list.h"
#include "text/icu_converter.h"

namespace {

constexpr std::size_t kTargetBytes = 50u * 1000 * 1000;
constexpr std::size_t kChunk = 64 * 1024;

struct ListFile {
  const char* converter;  // the name the line reader's converter answers to
  const char* lineEnd;
  std::string path;
  std::u16string lastName;
  std::size_t entries = 0;
  std::size_t bytes = 0;
};

ListFile gListFiles[] = {{"windows-31j", "\r\n", {}, {}}, {"UTF-8", "\n", {}, {}}};

std::string Encode(UConverter* converter, const std::u16string& text) {
  std::string bytes(text.size() * 3 + 1, '\0');
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
void GenerateListFile(ListFile& file) {
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
  const koron::Converter owned = koron::OpenConverter(file.converter, &error);
  UConverter* converter = owned.get();
  if (U_FAILURE(error)) std::abort();
  std::ofstream out(file.path, std::ios::binary | std::ios::trunc);
  std::uint32_t seed = 12345;
  auto next = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return seed >> 8;
  };
  std::string entry;
  while (file.bytes < kTargetBytes) {
    const std::size_t n = file.entries;
    const std::u16string name = u"\u30C6\u30F3\u30D7\u30EC\u30FC\u30C8" +
                                std::u16string(u"0123456789").substr(0, 1 + n % 10) + u"\u756A" +
                                std::u16string(1, static_cast<char16_t>(u'A' + n % 26)) +
                                std::u16string(1, static_cast<char16_t>(u'0' + (n / 26) % 10)) +
                                std::u16string(1, static_cast<char16_t>(u'0' + (n / 260) % 10)) +
                                std::u16string(1, static_cast<char16_t>(u'0' + (n / 2600) % 10)) +
                                std::u16string(1, static_cast<char16_t>(u'0' + (n / 26000) % 10));
    entry = Encode(converter, u"[" + name + u"]") + file.lineEnd;
    const unsigned lines = 8 + next() % 24;
    for (unsigned i = 0; i < lines; ++i) {
      std::u16string line = (next() % 50 == 0) ? u"[" : u"";
      const unsigned count = 4 + next() % 20;
      for (unsigned j = 0; j < count; ++j) line += pieces[next() % std::size(pieces)];
      entry += Encode(converter, line) + file.lineEnd;
    }
    out << entry;
    file.bytes += entry.size();
    file.lastName = name;
    ++file.entries;
  }
}

void DecodeOnly(benchmark::State& state, const ListFile* file) {
  std::vector<char> bytes(kChunk);
  std::vector<UChar> text(kChunk + 16);
  UErrorCode error = U_ZERO_ERROR;
  const koron::Converter owned = koron::OpenConverter(file->converter, &error);
  UConverter* converter = owned.get();
  for (auto _ : state) {
    int fd = ::open(file->path.c_str(), O_RDONLY);
    ucnv_resetToUnicode(converter);
    std::size_t units = 0;
    for (;;) {
      const ssize_t count = ::read(fd, bytes.data(), bytes.size());
      const char* source = bytes.data();
      const char* sourceEnd = source + (count > 0 ? count : 0);
      const bool last = count <= 0;
      do {
        UChar* target = text.data();
        error = U_ZERO_ERROR;
        ucnv_toUnicode(converter, &target, text.data() + text.size(), &source, sourceEnd, nullptr,
                       last, &error);
        units += static_cast<std::size_t>(target - text.data());
      } while (error == U_BUFFER_OVERFLOW_ERROR);
      if (last) break;
    }
    ::close(fd);
    benchmark::DoNotOptimize(units);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * file->bytes));
}

void FindLastTemplate(benchmark::State& state, const ListFile* file) {
  for (auto _ : state) {
    std::u16string body = koron::FindTemplateBody(file->path, file->lastName);
    if (body.empty()) state.SkipWithError("last template not found");
    benchmark::DoNotOptimize(body);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * file->bytes));
}

void ListNames(benchmark::State& state, const ListFile* file) {
  for (auto _ : state) {
    std::vector<std::u16string> names = koron::ListTemplateNames(file->path);
    if (names.size() != file->entries) state.SkipWithError("wrong number of names");
    benchmark::DoNotOptimize(names);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * file->bytes));
}

const char* const kMeasured[] = {"FindLastTemplate", "ListNames"};

void RegisterAll() {
  for (const ListFile& file : gListFiles) {
    const std::string suffix = std::string("/") + file.converter;
    benchmark::RegisterBenchmark(("DecodeOnly" + suffix).c_str(), DecodeOnly, &file)
        ->Unit(benchmark::kMillisecond)
        ->Repetitions(5);
    benchmark::RegisterBenchmark(("FindLastTemplate" + suffix).c_str(), FindLastTemplate, &file)
        ->Unit(benchmark::kMillisecond)
        ->Repetitions(5);
    benchmark::RegisterBenchmark(("ListNames" + suffix).c_str(), ListNames, &file)
        ->Unit(benchmark::kMillisecond)
        ->Repetitions(5);
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("koron-bench-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  for (ListFile& file : gListFiles) {
    file.path = (dir / (std::string("AAList_") + file.converter + ".txt")).string();
    GenerateListFile(file);
    std::printf("list file %s: %.1f MB, %zu entries\n", file.converter, file.bytes / 1e6,
                file.entries);
  }
  RegisterAll();

  koron::bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  std::filesystem::remove_all(dir);

  std::printf("\nratio to the decode-only pass of the same file (median; goal <= 1.0):\n");
  for (const ListFile& file : gListFiles) {
    const std::string suffix = std::string("/") + file.converter;
    const double decode = reporter.Median("DecodeOnly" + suffix);
    if (decode <= 0) continue;
    for (const char* name : kMeasured) {
      const double time = reporter.Median(name + suffix);
      if (time > 0) std::printf("  %-30s %.3f\n", (name + suffix).c_str(), time / decode);
    }
  }
  return 0;
}
