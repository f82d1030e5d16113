// ComposePicture against memcpy of as many bytes as the picture holds, in the same run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/ratio_reporter.h"
#include "composer/composer.h"

namespace {

koron::ProcessionChoices Choices(std::int64_t marchers) {
  koron::ProcessionChoices choices;
  choices.MarcherCount = static_cast<std::int32_t>(marchers);
  choices.FaceIndex = 1;
  choices.FaceText = u"\u0028\uFF9F\u0414\uFF9F\u0029\u0020\u30B8\u30E7\u30F3";
  choices.Ears = true;
  choices.CheerCount = 10;
  choices.SignCount = 10;
  return choices;
}

std::size_t PictureBytes(std::int64_t marchers) {
  return static_cast<std::size_t>(koron::PictureLength(Choices(marchers))) * sizeof(char16_t);
}

void Compose(benchmark::State& state) {
  const koron::ProcessionChoices choices = Choices(state.range(0));
  for (auto _ : state) {
    std::u16string picture = koron::ComposePicture(choices);
    benchmark::DoNotOptimize(picture.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(
      static_cast<std::int64_t>(state.iterations() * PictureBytes(state.range(0))));
}

// The physical floor: copying the picture's bytes between two buffers that already exist.
void Memcpy(benchmark::State& state) {
  const std::size_t bytes = PictureBytes(state.range(0));
  std::vector<char> source(bytes, 'x');
  std::vector<char> target(bytes);
  for (auto _ : state) {
    std::memcpy(target.data(), source.data(), bytes);
    benchmark::DoNotOptimize(target.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

// For reference: a copy that, like ComposePicture, has to allocate the string it returns.
void CopyToNewString(benchmark::State& state) {
  const std::u16string source(PictureBytes(state.range(0)) / sizeof(char16_t), u'x');
  for (auto _ : state) {
    std::u16string copy = source;
    benchmark::DoNotOptimize(copy.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(
      static_cast<std::int64_t>(state.iterations() * source.size() * sizeof(char16_t)));
}

constexpr std::int64_t kMarchers[] = {20, 10'000, 1'000'000};

void Register(const char* name, void (*function)(benchmark::State&)) {
  for (std::int64_t marchers : kMarchers) {
    benchmark::RegisterBenchmark(name, function)
        ->Arg(marchers)
        ->Unit(marchers >= 1'000'000 ? benchmark::kMillisecond : benchmark::kMicrosecond)
        ->Repetitions(5)
        ->ReportAggregatesOnly(true);
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  Register("Compose", Compose);
  Register("Memcpy", Memcpy);
  Register("CopyToNewString", CopyToNewString);
  koron::bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  std::printf("\nmedian times; goal: compose/memcpy <= 2 at 1000000 marchers\n");
  for (std::int64_t marchers : kMarchers) {
    const std::string arg = "/" + std::to_string(marchers);
    const double compose = reporter.Median("Compose" + arg);
    const double memcpy = reporter.Median("Memcpy" + arg);
    const double copy = reporter.Median("CopyToNewString" + arg);
    if (compose <= 0 || memcpy <= 0) continue;
    std::printf("ratio compose/memcpy at %lld: %.2f (picture %zu bytes",
                static_cast<long long>(marchers), compose / memcpy, PictureBytes(marchers));
    if (copy > 0) std::printf("; compose/copy-to-new-string %.2f", compose / copy);
    std::printf(")\n");
  }
  return 0;
}
