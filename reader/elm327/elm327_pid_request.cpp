#include "reader/elm327/elm327_pid_request.h"

#include <algorithm>
#include <array>

namespace vx414::elm327 {
namespace {

std::string hexByte(unsigned value) {
    constexpr std::string_view Digits = "0123456789ABCDEF";
    return {Digits[(value >> 4U) & 0xFU], Digits[value & 0xFU]};
}

// SAE J1979's lengths of PIDs 00 to 20. 06 to 09 carry a second byte for bank 3 on engines
// that have one, so they are 1 here and a longer answer does not split (and is asked alone).
constexpr std::array<std::uint8_t, 0x21> Lengths = {
    4, 4, 2, 2, 1, 1, 1, 1, 1, 1, 1, 1, 2, 1, 1, 1,  // 00-0F
    2, 1, 1, 1, 2, 2, 2, 2, 2, 2, 2, 2, 1, 1, 1, 2,  // 10-1F
    4,                                               // 20
};

// Whether an answer means the adapter or the car is gone, or a stop was asked for.
bool endsTheRead(const ServiceAnswer& answer) {
    const LinkCode code = answer.status.code();
    return code == LinkCode::Timeout || code == LinkCode::Io || code == LinkCode::NoVehicle ||
           code == LinkCode::NoDevice || std::string_view(answer.status.reason()) == "adapter reset";
}

// The bytes a PID takes in an answer: the PID, in 02 the frame number, its data.
std::size_t answerBytes(std::uint8_t service, std::uint8_t pid) { return (service == 0x02 ? 2 : 1) + pidDataLength(pid); }

std::string requestFor(std::uint8_t service, std::span<const std::uint8_t> pids) {
    std::string text = hexByte(service);
    for (const std::uint8_t pid : pids) text += hexByte(pid) + (service == 0x02 ? "00" : "");
    return text;
}

bool listed(const PidSupport* support, std::uint8_t pid) {
    return support == nullptr || pid == 0x00 || supporting(*support, pid) > 0;
}

// Without support given, the answer to PID 00 tells it for the PIDs after.
void learn(const std::pair<std::uint8_t, ServiceAnswer>& answer, const PidSupport*& support, PidSupport& learnt) {
    if (support != nullptr || answer.first != 0x00) return;
    learnt = supportBySender(answer.second);
    support = &learnt;
}

}  // namespace

std::size_t pidDataLength(std::uint8_t pid) { return pid < Lengths.size() ? Lengths[pid] : 0; }

std::size_t canFrames(std::size_t bytes) { return bytes <= 7 ? 1 : 1 + (bytes - 6 + 6) / 7; }

std::optional<std::vector<std::vector<std::uint8_t>>> splitPidAnswer(std::span<const std::uint8_t> message,
                                                                     std::uint8_t service,
                                                                     std::span<const std::uint8_t> pids) {
    if (message.empty() || message[0] != service + 0x40U) return std::nullopt;
    std::vector<std::vector<std::uint8_t>> parts;
    std::vector<std::uint8_t> seen;
    std::size_t at = 1;
    while (at < message.size()) {
        const std::uint8_t pid = message[at];
        const std::size_t length = pidDataLength(pid);
        const std::size_t head = service == 0x02 ? 2 : 1;
        if (length == 0 || std::find(pids.begin(), pids.end(), pid) == pids.end() ||
            std::find(seen.begin(), seen.end(), pid) != seen.end() || at + head + length > message.size() ||
            (service == 0x02 && message[at + 1] != 0x00)) {
            return std::nullopt;
        }
        seen.push_back(pid);
        std::vector<std::uint8_t> part = {message[0]};
        part.insert(part.end(), message.begin() + static_cast<std::ptrdiff_t>(at),
                    message.begin() + static_cast<std::ptrdiff_t>(at + head + length));
        parts.push_back(std::move(part));
        at += head + length;
    }
    return parts;
}

ServiceAnswer CarRequests::operator()(const std::string& request, std::size_t frames) {
    if (lost_) return {*lost_, false, {}};
    const bool counted = digits_ && frames > 0 && frames <= 0xF;
    ++sent_;
    ServiceAnswer answer = ask_(counted ? request + hexByte(static_cast<unsigned>(frames)).substr(1) : request);
    const std::string_view reason = answer.status.reason();
    if (counted && (reason == "adapter did not understand" || reason == ResponsePendingOnly)) {
        // An adapter that does not know the digit never will; one that prompted after a
        // "response pending" is only asked this once without it.
        if (reason != ResponsePendingOnly) digits_ = false;
        ++sent_;
        answer = ask_(request);
    }
    if (endsTheRead(answer)) lost_ = answer.status;
    return answer;
}

PidSupport supportBySender(const ServiceAnswer& answer) {
    PidSupport support;
    if (!answer.status.isOk() || answer.noData) return support;
    for (const UnitMessages& unit : answer.units) {
        for (const std::vector<std::uint8_t>& message : unit.messages) obd::addSupportedPids(message, support[unit.sender]);
    }
    return support;
}

std::size_t supporting(const PidSupport& support, std::uint8_t pid) {
    return static_cast<std::size_t>(
        std::count_if(support.begin(), support.end(), [pid](const auto& unit) { return unit.second.has(pid); }));
}

std::vector<std::pair<std::uint8_t, ServiceAnswer>> PidReader::read(std::uint8_t service,
                                                                    std::span<const std::uint8_t> pids,
                                                                    const PidSupport* support) {
    Answers answers;
    PidSupport learnt;
    const std::size_t most = service == 0x02 ? MostPidsAtOnce02 : MostPidsAtOnce01;
    std::size_t next = 0;
    while (next < pids.size()) {
        std::vector<std::uint8_t> group;
        while (next < pids.size() && group.size() < (severalAtOnce_ ? most : 1)) {
            const std::uint8_t pid = pids[next];
            // A PID of unknown length goes alone.
            if (pidDataLength(pid) == 0 && !group.empty()) break;
            ++next;
            if (listed(support, pid)) group.push_back(pid);
            if (pidDataLength(pid) == 0) break;
        }
        if (group.empty()) continue;
        if (requests_.lost()) {
            for (const std::uint8_t pid : group) answers.push_back({pid, {requests_.lostStatus(), false, {}}});
            continue;
        }
        const std::size_t before = answers.size();
        if (group.size() == 1) {
            readAlone(service, group.front(), support, answers);
        } else if (!readTogether(service, group, support, answers)) {
            severalAtOnce_ = false;
            answers.resize(before);
            for (const std::uint8_t pid : group) {
                if (support != nullptr && !listed(support, pid)) continue;
                readAlone(service, pid, support, answers);
                learn(answers.back(), support, learnt);
            }
        }
        for (std::size_t i = before; i < answers.size(); ++i) learn(answers[i], support, learnt);
    }
    return answers;
}

void PidReader::readAlone(std::uint8_t service, std::uint8_t pid, const PidSupport* support, Answers& answers) {
    const std::array<std::uint8_t, 1> one = {pid};
    const std::size_t bytes = 1 + answerBytes(service, pid);
    std::size_t frames = 0;
    if (pidDataLength(pid) != 0 && bytes <= 7) {
        frames = support != nullptr && pid != 0x00 ? supporting(*support, pid) : unitCount_;
    }
    answers.push_back({pid, requests_(requestFor(service, one), frames)});
}

bool PidReader::readTogether(std::uint8_t service, std::span<const std::uint8_t> group, const PidSupport* support,
                             Answers& answers) {
    // Frames to wait for: each unit's message holds the PIDs it lists; never too few.
    std::size_t frames = 0;
    if (support != nullptr) {
        for (const auto& [sender, pids] : *support) {
            std::size_t bytes = 1;
            for (const std::uint8_t pid : group) {
                if (pid == 0x00 || pids.has(pid)) bytes += answerBytes(service, pid);
            }
            if (bytes > 1) frames += canFrames(bytes);
        }
    } else {
        std::size_t bytes = 1;
        for (const std::uint8_t pid : group) bytes += answerBytes(service, pid);
        frames = unitCount_ * canFrames(bytes);
    }
    const ServiceAnswer answer = requests_(requestFor(service, group), frames);
    if (!answer.status.isOk() && !requests_.lost()) return false;
    std::vector<ServiceAnswer> split(group.size(), ServiceAnswer{answer.status, answer.noData, {}});
    if (answer.status.isOk() && !answer.noData) {
        for (const UnitMessages& unit : answer.units) {
            if (unit.refusal || unit.messages.size() != 1) return false;
            const auto parts = splitPidAnswer(unit.messages.front(), service, group);
            if (!parts) return false;
            // A unit that lists a PID asked (by the support given, or by its own answer to
            // PID 00 here) and left it out answered short.
            obd::SupportedPids lists;
            if (support != nullptr) {
                if (const auto found = support->find(unit.sender); found != support->end()) lists = found->second;
            }
            for (const std::vector<std::uint8_t>& part : *parts) {
                if (part[1] == 0x00) obd::addSupportedPids(part, lists);
            }
            for (std::size_t i = 0; i < group.size(); ++i) {
                const auto part = std::find_if(parts->begin(), parts->end(),
                                               [&](const std::vector<std::uint8_t>& p) { return p[1] == group[i]; });
                if (part == parts->end()) {
                    if (group[i] != 0x00 && lists.has(group[i])) return false;
                    continue;
                }
                split[i].units.push_back({unit.sender, {*part}, std::nullopt});
            }
        }
        for (ServiceAnswer& one : split) one.noData = one.units.empty();
    }
    for (std::size_t i = 0; i < group.size(); ++i) answers.push_back({group[i], std::move(split[i])});
    return true;
}

}  // namespace vx414::elm327
