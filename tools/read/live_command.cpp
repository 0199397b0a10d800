#include "tools/read/live_command.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>

#include "reader/elm327/elm327_failure_cause.h"
#include "report/live_format.h"
#include "report/report_format.h"
#include "report/unit_system.h"

namespace vx414::cli {
namespace {

constexpr std::string_view Program = "vx414-read";

std::string hexByte(unsigned value) {
    constexpr std::string_view Digits = "0123456789ABCDEF";
    return {Digits[(value >> 4U) & 0xFU], Digits[value & 0xFU]};
}

std::string pidNamed(std::uint8_t pid) {
    const auto fields = obd::fieldsOf(pid);
    return "PID " + hexByte(pid) + (fields.empty() ? "" : " (" + std::string(fields.front().name) + ")");
}

// Writes each round as it comes, flushed, and says on stderr what the car left out.
class PrintingWatcher final : public LiveWatcher {
public:
    PrintingWatcher(const ReadArguments& arguments, CommandEnvironment& environment, std::stop_source& stop,
                    const DeviceLibrary& device)
        : arguments_(arguments), environment_(environment), stop_(stop), device_(device),
          units_(arguments.units.value_or(UnitSystem::Metric)) {}

    void supported(const std::vector<std::uint8_t>& pids) override {
        // The adapter has answered by now: an emulator has announced itself, and its values
        // are marked as its own.
        if (!device_.DeviceLinkName().empty()) source_ = kEmulatorSource;
        if (arguments_.livePids.empty()) {
            followed_ = pids;
        } else {
            for (const std::uint8_t pid : arguments_.livePids) {
                if (std::find(pids.begin(), pids.end(), pid) != pids.end()) {
                    followed_.push_back(pid);
                } else {
                    note("the car does not support " + pidNamed(pid) + "; it is left out");
                }
            }
        }
        if (followed_.empty()) {
            noneSupported_ = true;
            stop_.request_stop();
            return;
        }
        for (const std::uint8_t pid : followed_) {
            for (const obd::PidField& field : obd::fieldsOf(pid)) columns_.push_back(&field);
        }
        if (arguments_.format == Format::Csv && arguments_.header) write(liveCsvHeader(columns_, units_, source_));
    }

    LiveChoice choice() override {
        return {followed_, {}, std::chrono::milliseconds(arguments_.intervalMs)};
    }

    void sample(const obd::LiveSample& sample) override {
        write(arguments_.format == Format::Json ? liveJsonLine(sample, units_, source_)
                                                : liveCsvRow(sample, columns_, units_, source_));
        ++rows_;
        // A value the car stops giving (NO DATA, a refusal) is said once; its cells stay empty.
        for (const std::uint8_t pid : sample.unanswered) {
            if (silent_.insert(pid).second) {
                note(pidNamed(pid) + " gave no value at " + numberText(sample.seconds, 1) +
                     " s; its cells stay empty while it gives none");
            }
        }
    }

    bool noneSupported() const { return noneSupported_; }
    bool outputLost() const { return outputLost_; }
    std::size_t rows() const { return rows_; }

private:
    void write(const std::string& text) {
        environment_.out << text << std::flush;
        if (!environment_.out && !outputLost_) {
            outputLost_ = true;
            stop_.request_stop();
        }
    }
    void note(const std::string& line) { environment_.err << Program << ": " << line << '\n' << std::flush; }

    const ReadArguments& arguments_;
    CommandEnvironment& environment_;
    std::stop_source& stop_;
    const DeviceLibrary& device_;
    std::string source_;
    UnitSystem units_;
    std::vector<std::uint8_t> followed_;
    std::vector<const obd::PidField*> columns_;
    std::set<std::uint8_t> silent_;
    std::size_t rows_ = 0;
    bool noneSupported_ = false;
    bool outputLost_ = false;
};

}  // namespace

int runLive(const ReadArguments& arguments, CommandEnvironment& environment, const std::optional<LinkName>& named,
            const std::string& shown) {
    std::ostream& err = environment.err;
    const auto complain = [&err](const std::string& line) { err << Program << ": " << line << '\n'; };
    const std::unique_ptr<DeviceLibrary> device = environment.links.open(named);
    if (!environment.links.givesLiveData || !environment.links.pollLive || !environment.links.givesLiveData(*device)) {
        complain("the VX-414 reader holds codes only; --live needs an ELM327 adapter (--link elm327:...)");
        return ExitUsage;
    }
    std::stop_source run;
    std::stop_callback interrupted(environment.interrupted, [&run] { run.request_stop(); });
    std::atomic<bool> durationOver = false;
    std::jthread timer;
    if (arguments.durationSeconds) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(*arguments.durationSeconds);
        timer = std::jthread([end, &run, &durationOver](std::stop_token own) {
            std::mutex mutex;
            std::condition_variable_any wake;
            std::unique_lock lock(mutex);
            if (!wake.wait_until(lock, own, end, [] { return false; }) && !own.stop_requested()) {
                durationOver = true;
                run.request_stop();
            }
        });
    }
    PrintingWatcher watcher(arguments, environment, run, *device);
    const LinkStatus status = environment.links.pollLive(*device, run.get_token(), watcher);
    timer = {};

    const std::string after = " after " + std::to_string(watcher.rows()) + (watcher.rows() == 1 ? " line" : " lines");
    if (watcher.outputLost()) {
        complain("cannot write the output" + after);
        return ExitFailed;
    }
    if (!status.isOk()) {
        const std::string cause(adapterFailureCause(status));
        complain((watcher.rows() == 0 ? "no live data through " + shown : "live data through " + shown + " ended" + after) +
                 ": " + (cause.empty() ? status.toString() : cause));
        return ExitFailed;
    }
    if (watcher.noneSupported() || std::string_view(status.reason()) == NoLiveValues) {
        complain(arguments.livePids.empty() ? "the car gives none of the live values this program reads"
                                            : "the car supports none of the PIDs asked; nothing to follow");
        return ExitFailed;
    }
    if (environment.interrupted.stop_requested()) {
        complain("stopped" + after);
        return ExitInterrupted;
    }
    return ExitOk;
}

}  // namespace vx414::cli
