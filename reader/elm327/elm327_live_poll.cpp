#include "reader/elm327/elm327_live_poll.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <optional>

#include "reader/elm327/elm327_live_rounds.h"
#include "reader/obd/unit_name.h"

namespace vx414::elm327 {
namespace {

using Clock = std::chrono::steady_clock;

// Waits until `until`, or less when a stop comes.
void pause(Clock::time_point until, const std::stop_token& stop) {
    std::mutex mutex;
    std::condition_variable_any wake;
    std::unique_lock lock(mutex);
    wake.wait_until(lock, stop, until, [] { return false; });
}

}  // namespace

PidSupport readLiveSupport(PidReader& reader) {
    PidSupport support;
    std::optional<std::uint8_t> block = 0x00;
    while (block) {
        const std::array<std::uint8_t, 1> asked = {*block};
        const auto answers = reader.read(0x01, asked, *block == 0x00 ? nullptr : &support);
        if (answers.empty()) break;
        for (const auto& [sender, pids] : supportBySender(answers.front().second)) support[sender].merge(pids);
        obd::SupportedPids any;
        for (const auto& [sender, pids] : support) any.merge(pids);
        block = obd::nextSupportedBlock(any, *block);
    }
    return support;
}

std::vector<std::uint8_t> supportedValuePids(const PidSupport& support) {
    obd::SupportedPids any;
    for (const auto& [sender, pids] : support) any.merge(pids);
    std::vector<std::uint8_t> values;
    for (const std::uint8_t pid : any.list()) {
        if (!obd::fieldsOf(pid).empty()) values.push_back(pid);
    }
    return values;
}

obd::LiveSample decodeRound(const std::vector<std::pair<std::uint8_t, ServiceAnswer>>& answers, double seconds) {
    obd::LiveSample sample;
    sample.seconds = seconds;
    for (const auto& [pid, answer] : answers) {
        std::optional<std::vector<obd::LiveValue>> chosen;
        if (answer.status.isOk() && !answer.noData) {
            for (const UnitMessages& unit : answer.units) {
                for (const auto& message : unit.messages) {
                    auto values = obd::decodeLiveValues(message);
                    if (!values || values->empty() || values->front().field->pid != pid) continue;
                    if (!chosen || obd::unitName(unit.sender) == "engine") chosen = std::move(values);
                }
            }
        }
        if (chosen) {
            sample.values.insert(sample.values.end(), chosen->begin(), chosen->end());
        } else {
            sample.unanswered.push_back(pid);
        }
    }
    return sample;
}

LinkStatus pollLiveRounds(CarRequests& requests, bool can, std::stop_token stop, LiveWatcher& watcher) {
    PidReader discovery(requests, can, {});
    const PidSupport support = readLiveSupport(discovery);
    if (requests.lost()) return stop.stop_requested() ? LinkStatus::ok() : requests.lostStatus();
    const std::vector<std::uint8_t> values = supportedValuePids(support);
    watcher.supported(values);
    if (values.empty()) return {LinkCode::Ok, NoLiveValues};
    // Once the units are known, a request whose answers are one frame each, or that the
    // units have answered in full before, waits for as many frames as they take rather than
    // for the adapter's timeout.
    std::vector<std::string> units;
    for (const auto& [sender, pids] : support) units.push_back(sender);
    PidReader reader(requests, can, units);
    const auto perRequest = [&reader] { return reader.severalAtOnce() ? MostPidsAtOnce01 : std::size_t{1}; };
    std::optional<LiveChoice> current;
    std::optional<LiveRounds> rounds;
    const Clock::time_point start = Clock::now();
    while (!stop.stop_requested()) {
        LiveChoice choice = watcher.choice();
        const auto keep = [&values](std::vector<std::uint8_t>& pids) {
            std::erase_if(pids, [&values](std::uint8_t pid) {
                return std::find(values.begin(), values.end(), pid) == values.end();
            });
        };
        keep(choice.followed);
        keep(choice.others);
        if (!current || current->followed != choice.followed || current->others != choice.others) {
            rounds.emplace(choice.followed, choice.others, perRequest());
        }
        current = choice;
        const Clock::time_point began = Clock::now();
        const std::vector<std::uint8_t> pids = rounds->next();
        if (pids.empty()) {
            pause(began + std::max(choice.interval, std::chrono::milliseconds(100)), stop);
            continue;
        }
        const auto answers = reader.read(0x01, pids, &support);
        rounds->setPerRequest(perRequest());
        if (stop.stop_requested()) break;
        if (requests.lost()) return requests.lostStatus();
        watcher.sample(decodeRound(answers, std::chrono::duration<double>(Clock::now() - start).count()));
        pause(began + choice.interval, stop);
    }
    return LinkStatus::ok();
}

}  // namespace vx414::elm327
