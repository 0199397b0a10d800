// Listing the reads kept before each clear, as vx414-read --previous and the window's
// "Previous reads…" do, in a folder of 10,000 kept reads of 500 cars (a workshop's year
// and a half at 20 clears a day), made once in a temporary folder.
//
//   BM_ListKeptReads/warm      the index knows every file: the index read, the folder
//                              listed and each file's size and time looked at
//   BM_ListKeptReads/cold      no index: every file parsed once and the index written
//   BM_ListKeptReads/ref:stat  the reference: the folder listed and every kept read's
//                              size and time looked at, nothing read; the least a listing
//                              that notices a changed file can do
//
// The target is 50 ms for the warm listing (the window's list opens within a few frames).

#include <benchmark/benchmark.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "report/cleared_index.h"
#include "report/cleared_listing.h"
#include "report/report_format.h"

namespace {

using namespace vx414;

constexpr int kCars = 500;
constexpr int kReads = 10000;

// A car read as an ELM327 adapter gives it: VIN, three codes of two units with their
// definitions, readiness, freeze frame.
ReadReport carRead(int n) {
  const int car = n % kCars;
  ReadReport read{LocalTime{2025, 1 + n / 840 % 12, 1 + n / 30 % 28, n / 2 % 24, n % 60, n * 7 % 60, 60}, "volkswagen",
                  {{"Stored", "P0301", "Cylinder 1 Misfire Detected", "engine", "generic"},
                   {"Pending", "P0171", "System Too Lean (Bank 1)", "engine", "generic"},
                   {"Stored", "P0700", "Transmission Control System (MIL Request)", "transmission", "generic"}},
                  {}};
  char vin[18];
  std::snprintf(vin, sizeof vin, "WVWZZZ1KZ8W%06d", car);
  read.vehicle.vin = vin;
  read.vehicle.make = "volkswagen";
  read.vehicle.modelYear = 2008;
  read.vehicle.mil = true;
  read.vehicle.storedCount = 2;
  for (const char* monitor : {"Misfire", "Fuel system", "Components", "Catalyst", "Heated catalyst",
                              "Evaporative system", "Oxygen sensor", "Oxygen sensor heater", "EGR system"})
    read.vehicle.readiness.push_back({monitor, MonitorState::Complete});
  read.vehicle.inspection = "ready for inspection";
  read.vehicle.inspectionVerdict = InspectionVerdict::Ready;
  read.vehicle.freezeFrame = FreezeFrame{TroubleCode{{'P', '0', '3', '0', '1'}},
                                         {{"Engine speed", 812, "rpm"},
                                          {"Vehicle speed", 0, "km/h"},
                                          {"Coolant temperature", 88, "°C"},
                                          {"Engine load", 23.5, "%"},
                                          {"Intake manifold pressure", 33, "kPa"}}};
  read.vehicle.units = {{"7E8", "engine", {TroubleCode{{'P', '0', '1', '7', '1'}}},
                         {TroubleCode{{'P', '0', '3', '0', '1'}}}, {}},
                        {"7E9", "transmission", {}, {TroubleCode{{'P', '0', '7', '0', '0'}}}, {}}};
  return read;
}

class KeptFolder {
 public:
  KeptFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vx414-bench-kept-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    folder_ = pattern;
    for (int n = 0; n < kReads; ++n) {
      const ReadReport read = carRead(n);
      char name[64];
      std::snprintf(name, sizeof name, "vx414-cleared-%04d%02d%02d-%02d%02d%02d-%d.json", read.time.year,
                    read.time.month, read.time.day, read.time.hour, read.time.minute, read.time.second, 2 + n % 97);
      std::ofstream(folder_ / name) << reportAsJson(read);
    }
  }
  ~KeptFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  std::string path() const { return folder_.string(); }

 private:
  std::filesystem::path folder_;
};

const KeptFolder& keptFolder() {
  static const KeptFolder folder;
  return folder;
}

void BM_ListKeptReads_Warm(benchmark::State& state) {
  const std::string folder = keptFolder().path();
  if (listKeptReads(folder).reads.size() != kReads) std::abort();  // the index made
  for (auto _ : state) benchmark::DoNotOptimize(listKeptReads(folder));
}

void BM_ListKeptReads_Cold(benchmark::State& state) {
  const std::string folder = keptFolder().path();
  const std::string index = folder + "/" + std::string(kKeptIndexName);
  for (auto _ : state) {
    state.PauseTiming();
    ::unlink(index.c_str());
    state.ResumeTiming();
    if (listKeptReads(folder).reads.size() != kReads) std::abort();
  }
}

void BM_ListKeptReads_Stat(benchmark::State& state) {
  const std::string folder = keptFolder().path();
  for (auto _ : state) {
    std::size_t kept = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      const std::string name = entry.path().filename().string();
      struct stat status {};
      if (name.starts_with("vx414-cleared-") && ::stat(entry.path().c_str(), &status) == 0) kept += status.st_size > 0;
    }
    if (kept != kReads) std::abort();
  }
}

BENCHMARK(BM_ListKeptReads_Warm)->Name("BM_ListKeptReads/warm")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListKeptReads_Cold)->Name("BM_ListKeptReads/cold")->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ListKeptReads_Stat)->Name("BM_ListKeptReads/ref:stat")->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
