// The two reads of the data file that the user waits for, each against a reference
// measured in the same binary: one plain read of the same stored bytes and a decode of
// every pair through a 65,536-entry table.
//
//   BM_GlossaryLoad            832 x 2 readitem1 calls from position 29 (a 1,000-byte
//                              block read per item)
//   BM_GlossaryReference       one read of the glossary's stored bytes, table decode,
//                              split into the same 1,664 items
//   BM_FordWalk                walkSection over "ford", the largest make section
//   BM_FordReference           one read of the section's stored bytes, table decode,
//                              split into the same records
//
// The figure of interest is each load's time over its reference.

#include <benchmark/benchmark.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "definitions/dis_file.h"
#include "definitions/items.h"
#include "definitions/make_sections.h"
#include "definitions/pair_codec.h"
#include "definitions/section_walk.h"

#include "bench/common/plain_read.h"

namespace {

using namespace vx414;

// A data file like the shipped one: glossary entries of about 30 characters, generic and
// ford records of the lengths of real trouble-code texts.
class BenchFile {
 public:
  BenchFile() {
    PlainSources sources;
    for (int i = 0; i < kGlossaryEntries; ++i) {
      sources.glossary.push_back({"TRM" + std::to_string(i), "Term explained in words", ""});
    }
    for (int i = 0; i < 2400; ++i) {
      sources.sections["generic"].push_back({"P" + std::to_string(1000 + i), "Generic circuit range or performance", ""});
    }
    for (int i = 0; i < 150; ++i) {
      sources.sections["ford"].push_back({"P" + std::to_string(1000 + i), "Ford module circuit intermittent", ""});
    }
    const BuildResult built = buildDataFile(sources);
    if (!built.error.empty()) std::abort();
    std::string pattern = (std::filesystem::temp_directory_path() / "vx414-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    folder_ = pattern;
    const std::string path = dataFilePath(folder_.string());
    if (!writeWholeFile(path, built.stored).empty()) std::abort();
    if (!slot_.open(path).ok()) std::abort();
  }
  ~BenchFile() {
    slot_.close();
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }

  const DataFile& file() const { return slot_; }

  // One read of `count` stored bytes from `position`, every pair decoded by the table.
  std::vector<std::uint8_t> plainDecode(std::int32_t position, std::size_t count) const {
    return table_.plainDecode(slot_, position, count);
  }

 private:
  std::filesystem::path folder_;
  DataFile slot_;
  bench::PairTable table_;
};

const BenchFile& benchFile() {
  static const BenchFile file;
  return file;
}

std::int32_t glossaryEnd() {
  std::int32_t DataPos = positionOfAddress(GlossaryAddress);
  std::string ItemText;
  for (int i = 0; i < 2 * kGlossaryEntries; ++i) {
    if (!readitem1(benchFile().file(), DataPos, ItemText).ok()) std::abort();
  }
  return DataPos;
}

void BM_GlossaryLoad(benchmark::State& state) {
  const DataFile& file = benchFile().file();
  std::vector<std::string> items(2 * kGlossaryEntries);
  for (auto _ : state) {
    std::int32_t DataPos = positionOfAddress(GlossaryAddress);
    for (std::string& item : items) {
      if (!readitem1(file, DataPos, item).ok()) std::abort();
    }
    benchmark::DoNotOptimize(items.data());
  }
  state.SetItemsProcessed(state.iterations() * 2 * kGlossaryEntries);
}
BENCHMARK(BM_GlossaryLoad);

void BM_GlossaryReference(benchmark::State& state) {
  const std::int32_t start = positionOfAddress(GlossaryAddress);
  const auto count = static_cast<std::size_t>(glossaryEnd() - start);
  std::vector<std::string> items(2 * kGlossaryEntries);
  for (auto _ : state) {
    const std::vector<std::uint8_t> data = benchFile().plainDecode(start, count);
    bench::splitItems(data, items);
    benchmark::DoNotOptimize(items.data());
  }
  state.SetItemsProcessed(state.iterations() * 2 * kGlossaryEntries);
}
BENCHMARK(BM_GlossaryReference);

void BM_FordWalk(benchmark::State& state) {
  const SectionBounds ford = cartypeselect("ford");
  std::vector<std::pair<std::string, std::string>> rows(kDefinitionRows);
  for (auto _ : state) {
    std::size_t row = 0;
    const DataFileStatus status = walkSection(benchFile().file(), {"ford", ford.MakeStart, ford.MakeEnd, kDefinitionRows},
                                              [&](const WalkedRecord& r) {
                                                rows[row].first.assign(r.code);
                                                rows[row].second.assign(r.definition);
                                                ++row;
                                              });
    if (!status.ok()) std::abort();
    benchmark::DoNotOptimize(rows.data());
  }
  state.SetBytesProcessed(state.iterations() * (ford.MakeEnd - ford.MakeStart));
}
BENCHMARK(BM_FordWalk);

void BM_FordReference(benchmark::State& state) {
  const SectionBounds ford = cartypeselect("ford");
  std::vector<std::pair<std::string, std::string>> rows(kDefinitionRows);
  for (auto _ : state) {
    const std::vector<std::uint8_t> data =
        benchFile().plainDecode(ford.MakeStart, static_cast<std::size_t>(ford.MakeEnd - ford.MakeStart));
    bench::splitRecords(data, rows);
    benchmark::DoNotOptimize(rows.data());
  }
  state.SetBytesProcessed(state.iterations() * (ford.MakeEnd - ford.MakeStart));
}
BENCHMARK(BM_FordReference);

}  // namespace

BENCHMARK_MAIN();
