#include "reader/elm327/elm327_pid_request.h"

#include "reader/obd/live_pids.h"

#include <algorithm>
#include <array>
#include <utility>

namespace vx414::elm327 {
namespace {

std::string hexByte(unsigned value) {
    constexpr std::string_view Digits = "0123456789ABCDEF";
    return {Digits[(value >> 4U) & 0xFU], Digits[value & 0xFU]};
}

// SAE J1979's lengths of the PIDs up to 20 that are not values (the live PID table holds
// the values'): readiness, the freeze frame's code, the fuel system and secondary air
// status, the oxygen sensors present, the OBD standard, the auxiliary input.
constexpr std::array<std::pair<std::uint8_t, std::uint8_t>, 8> OtherLengths = {{
    {0x01, 4}, {0x02, 2}, {0x03, 2}, {0x12, 1}, {0x13, 1}, {0x1C, 1}, {0x1D, 1}, {0x1E, 1},
}};

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

// A fault of the moment rather than an answer: asked once more before it stands.
bool transient(const LinkStatus& status) {
    const std::string_view reason = status.reason();
    return reason == "adapter reported a bus error" || reason == "adapter buffer full" || reason == "adapter stopped";
}

bool answeredBy(const ServiceAnswer& answer, const std::string& sender) {
    return std::any_of(answer.units.begin(), answer.units.end(),
                       [&sender](const UnitMessages& unit) { return unit.sender == sender; });
}

// The bytes a unit's message takes for the PIDs of `group` it lists (every PID when `lists`
// is not given; PID 00 always): the service byte and each PID's part.
std::size_t messageBytes(std::uint8_t service, std::span<const std::uint8_t> group, const obd::SupportedPids* lists) {
    std::size_t bytes = 1;
    for (const std::uint8_t pid : group) {
        if (lists == nullptr || pid == 0x00 || lists->has(pid)) bytes += answerBytes(service, pid);
    }
    return bytes;
}

}  // namespace

std::size_t pidDataLength(std::uint8_t pid) {
    // The supported-PID blocks (00, 20 …) hold four bytes each.
    if (pid % 0x20 == 0) return 4;
    for (const auto& [other, length] : OtherLengths) {
        if (other == pid) return length;
    }
    // 06 to 09 carry a second byte for bank 3 on engines that have one: the table gives 1,
    // and a longer answer does not split (it is asked alone).
    return obd::pidDataLength(pid);
}

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


std::size_t CarRequests::framesIn(const ServiceAnswer& answer) const {
    std::size_t frames = 0;
    for (const UnitMessages& unit : answer.units) {
        for (const std::vector<std::uint8_t>& message : unit.messages) frames += can_ ? canFrames(message.size()) : 1;
        if (unit.refusal) ++frames;
    }
    return frames;
}

bool CarRequests::digitsAllowed() const { return digitRefusals_ < 2 && sent_ >= digitsAgainAt_; }

ServiceAnswer CarRequests::send(const std::string& request, std::size_t frames) {
    ++sent_;
    return ask_(request, frames);
}

ServiceAnswer CarRequests::operator()(const std::string& request, const RequestPlan& asked) {
    if (lost_) return {*lost_, false, {}};
    RequestPlan plan = asked;
    if (const auto proof = proofs_.byRequest.find(request); proof != proofs_.byRequest.end()) {
        plan.frames = proof->second.frames;
        plan.units = proof->second.units;
        plan.exact = true;
    }
    const bool counted = plan.exact && headers_ && digitsAllowed() && plan.frames > 0 && plan.frames <= 0xF;
    ServiceAnswer answer = send(counted ? request + hexByte(static_cast<unsigned>(plan.frames)).substr(1) : request,
                                plan.frames);
    bool countedAnswer = counted;
    if (counted) {
        const std::string_view reason = answer.status.reason();
        bool again = reason == ResponsePendingOnly || reason == "answer incomplete";
        if (reason == "adapter did not understand") {
            // Perhaps the adapter does not know the digit, perhaps the line was garbled:
            // it goes without for a while, and for good once it has said so twice.
            ++digitRefusals_;
            digitsAgainAt_ = sent_ + CombinedRetryAfter;
            again = true;
        } else if (answer.status.isOk() && !answer.noData) {
            const bool unnamed = std::any_of(answer.units.begin(), answer.units.end(),
                                             [](const UnitMessages& unit) { return unit.sender.empty(); });
            const bool someoneMissing = std::any_of(plan.units.begin(), plan.units.end(), [&answer](const std::string& unit) {
                return !answeredBy(answer, unit);
            });
            // Other units than those counted answered first and took the count: the
            // adapter stopped listening before every unit expected was heard.
            if (unnamed || (someoneMissing && framesIn(answer) >= plan.frames)) again = true;
            if (unnamed) headers_ = false;
            if (someoneMissing) forget(request);
        }
        if (again) answer = send(request, plan.frames);
        countedAnswer = !again;
    }
    if (transient(answer.status) || (plan.listed && answer.status.isOk() && answer.noData)) {
        answer = send(request, plan.frames);
        countedAnswer = false;
    }
    if (answer.status.isOk() && std::any_of(answer.units.begin(), answer.units.end(),
                                            [](const UnitMessages& unit) { return unit.sender.empty(); })) {
        headers_ = false;
    }
    // An answer of known length that came whole (without the count, or before as many
    // frames as were counted: the adapter waited for more): asked again, it may wait for
    // just the frames and units it brought.
    if (asked.exact && answer.status.isOk() && !answer.noData && (!countedAnswer || framesIn(answer) < plan.frames)) {
        prove(request, answer);
    }
    if (endsTheRead(answer)) lost_ = answer.status;
    return answer;
}

void CarRequests::prove(const std::string& request, const ServiceAnswer& answer) {
    if (!answer.status.isOk() || answer.noData || !headers_) return;
    AnswerProofs::Proof proof{framesIn(answer), {}};
    for (const UnitMessages& unit : answer.units) proof.units.push_back(unit.sender);
    proofs_.byRequest[request] = std::move(proof);
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

bool PidReader::severalAtOnce() const { return severalAtOnce_ && !(forms_.adapterRefused && recent(*forms_.adapterRefused)); }

std::vector<std::string> PidReader::expectedUnits(std::span<const std::uint8_t> pids, const PidSupport* support) const {
    if (support == nullptr) return units_;
    std::vector<std::string> units;
    for (const auto& unit : *support) {
        const obd::SupportedPids& lists = unit.second;
        if (std::any_of(pids.begin(), pids.end(), [&lists](std::uint8_t pid) { return pid == 0x00 || lists.has(pid); })) {
            units.push_back(unit.first);
        }
    }
    return units;
}

bool PidReader::combinedUsable(std::span<const std::uint8_t> group, const PidSupport* support) const {
    if (!severalAtOnce()) return false;
    for (const std::string& unit : expectedUnits(group, support)) {
        if (const auto found = forms_.refused.find(unit); found != forms_.refused.end() && recent(found->second)) return false;
    }
    return true;
}

std::vector<std::pair<std::uint8_t, ServiceAnswer>> PidReader::read(std::uint8_t service,
                                                                    std::span<const std::uint8_t> pids,
                                                                    const PidSupport* support) {
    ++forms_.reads;
    Answers answers;
    const std::size_t most = service == 0x02 ? MostPidsAtOnce02 : MostPidsAtOnce01;
    std::size_t next = 0;
    while (next < pids.size()) {
        std::vector<std::uint8_t> group;
        while (next < pids.size() && group.size() < (severalAtOnce_ ? most : 1)) {
            const std::uint8_t pid = pids[next];
            if (support != nullptr && pid != 0x00 && supporting(*support, pid) == 0) {
                ++next;
                continue;
            }
            // A PID of unknown length goes alone.
            if (pidDataLength(pid) == 0 && !group.empty()) break;
            // A frame's values go as many a request as keep every unit's answer one CAN
            // frame: its length is then known, and counting its frames cannot cut it.
            if (service == 0x02 && !group.empty()) {
                std::vector<std::uint8_t> longer = group;
                longer.push_back(pid);
                const std::vector<std::string> units = expectedUnits(longer, support);
                const bool fits = std::all_of(units.begin(), units.end(), [&](const std::string& unit) {
                    const obd::SupportedPids* lists = support == nullptr ? nullptr : &support->at(unit);
                    return messageBytes(service, longer, lists) <= 7;
                });
                if (!fits) break;
            }
            group.push_back(pid);
            ++next;
            if (pidDataLength(pid) == 0) break;
        }
        if (group.empty()) continue;
        if (requests_.lost()) {
            for (const std::uint8_t pid : group) answers.push_back({pid, {requests_.lostStatus(), false, {}}});
            continue;
        }
        if (group.size() > 1 && combinedUsable(group, support)) {
            readTogether(service, group, support, answers);
        } else {
            for (const std::uint8_t pid : group) answers.push_back({pid, askAlone(service, pid, support)});
        }
    }
    return answers;
}

ServiceAnswer PidReader::askAlone(std::uint8_t service, std::uint8_t pid, const PidSupport* support) {
    if (requests_.lost()) return {requests_.lostStatus(), false, {}};
    const std::array<std::uint8_t, 1> one = {pid};
    RequestPlan plan;
    plan.units = expectedUnits(one, support);
    const std::size_t bytes = 1 + answerBytes(service, pid);
    plan.frames = plan.units.size() * (severalAtOnce_ ? canFrames(bytes) : 1);
    plan.exact = pidDataLength(pid) != 0 && bytes <= 7 && !plan.units.empty();
    // Every unit answers 01 00; a PID a unit lists, it must answer.
    plan.listed = support != nullptr ? !plan.units.empty() : service == 0x01 && pid == 0x00;
    return requests_(requestFor(service, one), plan);
}

void PidReader::readTogether(std::uint8_t service, std::span<const std::uint8_t> group, const PidSupport* support,
                             Answers& answers) {
    RequestPlan plan;
    plan.units = expectedUnits(group, support);
    plan.exact = !plan.units.empty();
    for (const std::string& unit : plan.units) {
        const std::size_t bytes = messageBytes(service, group, support == nullptr ? nullptr : &support->at(unit));
        plan.frames += canFrames(bytes);
        plan.exact = plan.exact && bytes <= 7;
    }
    // NO DATA here is not asked again as such: each PID is then asked alone.
    const std::string request = requestFor(service, group);
    const ServiceAnswer answer = requests_(request, plan);
    if (requests_.lost()) {
        for (const std::uint8_t pid : group) answers.push_back({pid, answer});
        return;
    }
    std::vector<ServiceAnswer> split(group.size(), ServiceAnswer{LinkStatus::ok(), false, {}});
    // Units that did not answer in full, and whether every PID is to be asked again.
    std::set<std::string> incomplete;
    bool everyPid = false;
    if (!answer.status.isOk()) {
        if (std::string_view(answer.status.reason()) == "adapter did not understand") forms_.adapterRefused = forms_.reads;
        everyPid = true;
    } else if (answer.noData) {
        everyPid = true;
    } else {
        for (const UnitMessages& unit : answer.units) {
            const auto parts = !unit.refusal && unit.messages.size() == 1
                                   ? splitPidAnswer(unit.messages.front(), service, group)
                                   : std::nullopt;
            if (!parts) {
                incomplete.insert(unit.sender);
                continue;
            }
            // What the unit lists: as given, and by its own answer to PID 00 here.
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
                if (part != parts->end()) {
                    split[i].units.push_back({unit.sender, {*part}, std::nullopt});
                } else if (group[i] != 0x00 && lists.has(group[i])) {
                    incomplete.insert(unit.sender);
                }
            }
        }
        // A unit that lists some of the PIDs and stayed silent answered nothing of them.
        if (support != nullptr) {
            for (const std::string& unit : plan.units) {
                if (!answeredBy(answer, unit)) incomplete.insert(unit);
            }
        }
    }
    // What was left out is asked one PID a request, now; a unit that answers alone what it
    // left out does not take the longer form.
    for (std::size_t i = 0; i < group.size(); ++i) {
        const std::uint8_t pid = group[i];
        const bool wanted = everyPid || std::any_of(incomplete.begin(), incomplete.end(), [&](const std::string& unit) {
            if (answeredBy(split[i], unit)) return false;
            if (support == nullptr || pid == 0x00) return true;
            const auto found = support->find(unit);
            return found == support->end() || found->second.has(pid);
        });
        if (!wanted) continue;
        ServiceAnswer alone = askAlone(service, pid, support);
        std::vector<std::string> added;
        for (const UnitMessages& unit : alone.units) {
            if (!unit.messages.empty() && !answeredBy(split[i], unit.sender)) added.push_back(unit.sender);
        }
        if (split[i].units.empty()) {
            split[i] = std::move(alone);
        } else if (alone.status.isOk()) {
            for (UnitMessages& unit : alone.units) {
                if (!answeredBy(split[i], unit.sender)) split[i].units.push_back(std::move(unit));
            }
        }
        // A fault of the adapter's (a bus error twice running, a "?") is no verdict on the units.
        if (!answer.status.isOk()) continue;
        for (const std::string& unit : added) {
            if (everyPid || incomplete.contains(unit)) forms_.refused[unit] = forms_.reads;
        }
    }
    if (incomplete.empty() && !everyPid) {
        requests_.prove(request, answer);
    } else {
        requests_.forget(request);
    }
    for (std::size_t i = 0; i < group.size(); ++i) {
        if (split[i].status.isOk()) split[i].noData = split[i].units.empty();
        answers.push_back({group[i], std::move(split[i])});
    }
}

}  // namespace vx414::elm327
