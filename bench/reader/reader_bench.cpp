// The reader link's two costs, each beside its reference in the same binary:
//   BM_ReceiveReport61Codes   a 61-code report received from memory
//   BM_CopyReport61Codes      reference: a plain copy of the same bytes
//   BM_IdleDeviceReadByte     3,500,001 DeviceReadByte calls on an idle pseudo-terminal
//                             (what a silent reader costs before the read fails)
//   BM_IdleBareRead           reference: as many bare non-blocking read() calls on it
#include <benchmark/benchmark.h>

#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <vector>

#include "reader/report_encoder.h"
#include "reader/report_receiver.h"
#include "reader/vx414/tty_device_library.h"

namespace {

std::vector<std::uint8_t> report61() {
    vx414::ReportContent content;
    for (unsigned i = 0; i < 61; ++i) {
        const vx414::CodeBytes code{static_cast<std::uint8_t>(i * 4U), static_cast<std::uint8_t>(255U - i)};
        (i < 30 ? content.first : content.second).codes.push_back(code);
    }
    return vx414::encodeReport(content);
}

void BM_ReceiveReport61Codes(benchmark::State& state) {
    const std::vector<std::uint8_t> wire = report61();
    vx414::ReportBuffer reportBytes{};
    for (auto _ : state) {
        vx414::MemoryByteSource source(wire);
        int reportIndex = 0;
        const vx414::ReceiveResult result = vx414::ReceiveReport(source, reportBytes, reportIndex);
        if (!result.ok()) state.SkipWithError("report not received");
        benchmark::DoNotOptimize(result);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(wire.size()));
}
BENCHMARK(BM_ReceiveReport61Codes);

void BM_CopyReport61Codes(benchmark::State& state) {
    const std::vector<std::uint8_t> wire = report61();
    std::vector<std::uint8_t> copy(wire.size());
    for (auto _ : state) {
        std::memcpy(copy.data(), wire.data(), wire.size());
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(wire.size()));
}
BENCHMARK(BM_CopyReport61Codes);

// An idle pseudo-terminal: nobody writes to the master; the slave is raw with VMIN = 0.
class IdlePty {
public:
    IdlePty() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) throw std::runtime_error("no pty");
        path_ = ::ptsname(master_);
        slave_ = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        termios mode{};
        ::tcgetattr(slave_, &mode);
        ::cfmakeraw(&mode);
        mode.c_cc[VMIN] = 0;
        mode.c_cc[VTIME] = 0;
        ::tcsetattr(slave_, TCSANOW, &mode);
    }
    ~IdlePty() {
        ::close(slave_);
        ::close(master_);
    }
    IdlePty(const IdlePty&) = delete;
    IdlePty& operator=(const IdlePty&) = delete;
    const std::string& path() const { return path_; }
    int slave() const { return slave_; }

private:
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
};

constexpr std::int64_t IdleReads = vx414::LeadInBound;  // 3,500,001

void BM_IdleDeviceReadByte(benchmark::State& state) {
    IdlePty pty;
    vx414::TtyDeviceLibrary link(pty.path());
    link.DeviceOpen();
    for (auto _ : state) {
        std::int64_t bytes = 0;
        for (std::int64_t i = 0; i < IdleReads; ++i) {
            if (link.DeviceReadByte()) ++bytes;
        }
        benchmark::DoNotOptimize(bytes);
    }
    state.counters["ns_per_call"] = benchmark::Counter(
        static_cast<double>(state.iterations() * IdleReads),
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_IdleDeviceReadByte)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);

void BM_IdleBareRead(benchmark::State& state) {
    IdlePty pty;
    const int fd = ::open(pty.path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    std::uint8_t buffer[4096];
    for (auto _ : state) {
        std::int64_t bytes = 0;
        for (std::int64_t i = 0; i < IdleReads; ++i) {
            if (::read(fd, buffer, sizeof buffer) > 0) ++bytes;
        }
        benchmark::DoNotOptimize(bytes);
    }
    ::close(fd);
    state.counters["ns_per_call"] = benchmark::Counter(
        static_cast<double>(state.iterations() * IdleReads),
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_IdleBareRead)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);

}  // namespace

BENCHMARK_MAIN();
