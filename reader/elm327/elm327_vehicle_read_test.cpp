// The services after the codes through the real session, over a scripted adapter: what is
// asked of whom, and that no answer to them fails the read or costs a code.
#include "reader/elm327/elm327_vehicle_read.h"

#include <gtest/gtest.h>

#include <map>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "reader/elm327/elm327_session.h"
#include "reader/elm327/testing/scripted_transport.h"

namespace vx414::elm327 {
namespace {

using namespace std::chrono_literals;
using Reply = ScriptedTransport::Reply;
using Answers = std::map<std::string, std::string>;

// How the scripted car takes a request for several PIDs.
enum class Several { Answered, Refused, Short };

std::vector<std::uint8_t> hexBytes(const std::string& text) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2) bytes.push_back(static_cast<std::uint8_t>(std::stoi(text.substr(i, 2), nullptr, 16)));
    return bytes;
}

std::string hexText(std::uint8_t byte) {
    constexpr const char* Digits = "0123456789ABCDEF";
    return {Digits[byte >> 4U], Digits[byte & 0xFU], ' '};
}

// A CAN car's answer to a request for several PIDs of 01 or 02, put together from its
// answers (single frames) to each PID alone: per unit one message, in as many frames as it
// needs; units that answered none of them stay silent.
std::string severalAtOnce(const Answers& car, const std::string& request, Several form) {
    const std::uint8_t service = hexBytes(request.substr(0, 2)).front();
    const std::size_t step = service == 0x02 ? 4 : 2;
    std::vector<std::string> headers;
    std::map<std::string, std::vector<std::uint8_t>> messages;
    for (std::size_t at = 2; at + step <= request.size(); at += step) {
        const auto found = car.find(request.substr(0, 2) + request.substr(at, step));
        if (found == car.end()) continue;
        std::size_t start = 0;
        while (start < found->second.size()) {
            std::size_t end = found->second.find('\r', start);
            if (end == std::string::npos) end = found->second.size();
            std::string line = found->second.substr(start, end - start);
            start = end + 1;
            std::erase(line, ' ');
            const std::vector<std::uint8_t> frame = hexBytes(line.substr(3));
            if (frame.size() < 2 || frame[1] != service + 0x40U) continue;  // refusals stay out
            const std::string header = line.substr(0, 3);
            if (!messages.contains(header)) {
                headers.push_back(header);
                messages[header] = {frame[1]};
            }
            messages[header].insert(messages[header].end(), frame.begin() + 2, frame.begin() + 1 + frame[0]);
        }
        if (form == Several::Short) break;
    }
    std::string text;
    for (const std::string& header : headers) {
        const std::vector<std::uint8_t>& data = messages[header];
        if (form == Several::Refused) {
            text += header + " 03 7F " + hexText(service) + "12 00 00 00 00 \r";
        } else if (data.size() <= 7) {
            text += header + " " + hexText(static_cast<std::uint8_t>(data.size()));
            for (const std::uint8_t byte : data) text += hexText(byte);
            text += "\r";
        } else {
            text += header + " 10 " + hexText(static_cast<std::uint8_t>(data.size()));
            for (std::size_t i = 0; i < 6; ++i) text += hexText(data[i]);
            for (std::size_t i = 6, index = 1; i < data.size(); i += 7, ++index) {
                text += "\r" + header + " " + hexText(static_cast<std::uint8_t>(0x20 + index));
                for (std::size_t j = i; j < i + 7; ++j) text += hexText(j < data.size() ? data[j] : 0);
            }
            text += "\r";
        }
    }
    return text.empty() ? "NO DATA" : text;
}

// An adapter an earlier run set up (the probe finds protocol `protocol`), with the car's
// answers by request (without a count digit; lines separated by CR); NO DATA to the rest.
// One that does not know the count digit answers "?" to a request that has one. On CAN a
// request for several PIDs is answered as `several` says.
ScriptedTransport::Script adapter(Answers car, bool countDigit = true, char protocol = '6',
                                  Several several = Several::Answered) {
    return [car = std::move(car), countDigit, protocol, several](const std::string& command) {
        std::string body;
        if (command == "ATDPN") {
            body = std::string("A") + protocol;
        } else if (command == "ATWS" || command == "ATZ") {
            body = "\r\rELM327 v1.5";
        } else if (command == "ATI") {
            body = "ELM327 v1.5";
        } else if (command.starts_with("AT")) {
            body = "OK";
        } else {
            const std::string request = command.size() % 2 == 1 ? command.substr(0, command.size() - 1) : command;
            const auto found = car.find(request);
            const bool many = (request.starts_with("01") && request.size() > 4) ||
                              (request.starts_with("02") && request.size() > 6);
            body = !countDigit && request != command ? "?"
                   : many                            ? severalAtOnce(car, request, several)
                   : found != car.end()              ? found->second
                                                     : "NO DATA";
            // With the count the adapter stops listening after that many frames.
            if (request != command && body != "?") {
                std::size_t lines = static_cast<std::size_t>(std::stoi(command.substr(command.size() - 1), nullptr, 16));
                std::size_t at = 0;
                while (lines-- > 0 && at != std::string::npos) at = body.find('\r', at == 0 ? 0 : at + 1);
                if (at != std::string::npos) body.resize(at);
            }
        }
        return Reply{{0ms, body + "\r\r>"}};
    };
}

// A CAN car: engine 7E8 and transmission 7E9, every service answered.
Answers canCar() {
    return {
        {"07", "7E8 04 47 01 03 00 00 00 00 "},
        {"03", "7E8 06 43 02 04 20 01 33 00 \r7E9 04 43 01 C1 00 00 00 00 "},
        {"0100", "7E8 06 41 00 BE 3F A8 13 00 \r7E9 06 41 00 98 18 80 01 00 "},
        {"0101", "7E8 06 41 01 82 07 65 04 00 \r7E9 06 41 01 81 07 65 00 00 "},
        // Frame 0 holds the code, load, coolant, engine speed and vehicle speed.
        {"020000", "7E8 07 42 00 00 58 18 00 00 "},
        {"020200", "7E8 05 42 02 00 04 20 00 00 "},
        {"020400", "7E8 04 42 04 00 5A 00 00 00 "},
        {"020500", "7E8 04 42 05 00 7B 00 00 00 "},
        {"020C00", "7E8 05 42 0C 00 1A F8 00 00 "},
        {"020D00", "7E8 04 42 0D 00 3C 00 00 00 "},
        {"0A", "7E8 04 4A 01 04 20 00 00 00 \r7E9 02 4A 00 00 00 00 00 00 "},
        {"0900", "7E8 06 49 00 40 00 00 00 00 "},
        // 1HGCM82633A004352 in a first and two consecutive frames.
        {"0902", "7E8 10 14 49 02 01 31 48 47 \r7E8 21 43 4D 38 32 36 33 33 \r7E8 22 41 30 30 34 33 35 32 "},
    };
}

Answers with(Answers car, const std::string& request, const char* answer) {
    if (answer == nullptr) {
        car.erase(request);
    } else {
        car[request] = answer;
    }
    return car;
}

// The requests after 03, blank-separated.
std::string servicesAsked(const ScriptedTransport& link) {
    std::string text;
    bool after = false;
    for (const std::string& command : link.commands()) {
        if (after) text += (text.empty() ? "" : " ") + command;
        after = after || command == "03";
    }
    return text;
}

std::string codesText(const std::vector<TroubleCode>& codes) {
    std::string text;
    for (const TroubleCode& code : codes) text += (text.empty() ? "" : " ") + code.toString();
    return text;
}

std::string freezeText(const VehicleInfo& info) {
    if (!info.freezeFrame) return "none";
    std::string text = info.freezeFrame->code ? info.freezeFrame->code->toString() : "?";
    for (const FreezeValue& v : info.freezeFrame->values) text += ", " + std::to_string(static_cast<int>(v.value)) + " " + v.unit;
    return text;
}

// A read as readCodes makes it whole, or split as the device library makes it: the codes
// alone, then the vehicle's services as a call of their own. Both must ask the same and
// tell the same.
SessionResult read(Session& session, Transport& link, Deadline deadline, bool split) {
    if (!split) return session.readCodes(link, deadline);
    session.readVehicle(false);
    SessionResult result = session.readCodes(link, deadline);
    result.vehicle = session.readVehicleInfo(link, deadline, {}, result);
    return result;
}

// The items not read, as "item: reason" joined by "; ".
std::string notReadText(const VehicleInfo& info) {
    constexpr const char* Names[] = {"readiness", "freeze_frame", "permanent", "vin"};
    std::string text;
    for (const ItemNotRead& item : info.notRead) {
        text += (text.empty() ? "" : "; ") + std::string(Names[static_cast<int>(item.item)]) + ": " + item.reason;
    }
    return text;
}

// The count digit wherever each unit's answer is one frame: 01 01 of each unit, 02 00 of
// each, the frame's code and values of the unit that lists them (two values a request where
// they fit one frame), 09 00 of each; 0A and the VIN are never counted.
constexpr const char* AllAsked = "01012 0200002 0202001 02040005001 020C001 020D001 0A 09002 0902";
constexpr const char* Frame = "P0420, 35 %, 83 °C, 1726 rpm, 60 km/h";

TEST(Elm327VehicleRead, EachServiceRefusedOrWithoutDataCostsOnlyItsOwnPart) {
    const char* Vin = "1HGCM82633A004352";
    struct Case {
        const char* what;
        Answers car;
        const char* asked;
        const char* vin;
        bool readiness;
        const char* freeze;
        const char* permanent;
        const char* notRead = "";
        bool countDigit = true;
        Several several = Several::Answered;
    };
    const std::vector<Case> cases = {
        {"every service answers", canCar(), AllAsked, Vin, true, Frame, "P0420"},
        // Every unit must answer 01 01: NO DATA is asked again, and then said.
        {"01 01 NO DATA: readiness not read", with(canCar(), "0101", nullptr),
         "01012 0101 0200002 0202001 02040005001 020C001 020D001 0A 09002 0902", Vin, false, Frame, "P0420",
         "readiness: no answer in time"},
        {"01 01 refused", with(canCar(), "0101", "7E8 03 7F 01 12 00 00 00 00 \r7E9 03 7F 01 12 00 00 00 00 "),
         AllAsked, Vin, false, Frame, "P0420"},
        {"01 01 unreadable", with(canCar(), "0101", "7E8 04 41 01 82 07 00 00 00 "), AllAsked, Vin, false, Frame,
         "P0420", "readiness: the answer could not be read"},
        {"02 NO DATA: no frame kept", with(canCar(), "020000", nullptr), "01012 0200002 0A 09002 0902", Vin,
         true, "none", "P0420"},
        {"02 02 refused", with(canCar(), "020200", "7E8 03 7F 02 12 00 00 00 00 "),
         "01012 0200002 0202001 0A 09002 0902", Vin, true, "none", "P0420"},
        {"02 02: no frame stored", with(canCar(), "020200", "7E8 05 42 02 00 00 00 00 00 "),
         "01012 0200002 0202001 0A 09002 0902", Vin, true, "none", "P0420"},
        {"0A NO DATA", with(canCar(), "0A", nullptr), AllAsked, Vin, true, Frame, ""},
        {"0A refused", with(canCar(), "0A", "7E8 03 7F 0A 11 00 00 00 00 \r7E9 03 7F 0A 11 00 00 00 00 "), AllAsked,
         Vin, true, Frame, ""},
        {"09 00 NO DATA twice: no VIN asked", with(canCar(), "0900", nullptr),
         "01012 0200002 0202001 02040005001 020C001 020D001 0A 09002 0900", "", true, Frame, "P0420"},
        {"09 02 refused", with(canCar(), "0902", "7E8 03 7F 09 12 00 00 00 00 "), AllAsked, "", true, Frame, "P0420"},
        {"VIN short",
         with(canCar(), "0902",
              "7E8 10 13 49 02 01 31 48 47 \r7E8 21 43 4D 38 32 36 33 33 \r7E8 22 41 30 30 34 33 35 00 "),
         AllAsked, "", true, Frame, "P0420", "vin: the answer could not be read"},
        // Kept and shown with a warning, its make still read.
        {"VIN with a wrong check digit",
         with(canCar(), "0902",
              "7E8 10 14 49 02 01 31 48 47 \r7E8 21 43 4D 38 32 36 34 33 \r7E8 22 41 30 30 34 33 35 32 "),
         AllAsked, "1HGCM82643A004352", true, Frame, "P0420"},
        {"VIN not ASCII",
         with(canCar(), "0902",
              "7E8 10 14 49 02 01 31 48 47 \r7E8 21 43 4D 38 32 36 33 33 \r7E8 22 41 30 30 34 33 35 C3 "),
         AllAsked, "", true, Frame, "P0420", "vin: the answer could not be read"},
        {"VIN frames missing", with(canCar(), "0902", "7E8 10 14 49 02 01 31 48 47 \r7E8 21 43 4D 38 32 36 33 33 "),
         AllAsked, "", true, Frame, "P0420", "vin: the answer could not be read"},
        {"an adapter without the count digit", canCar(), "01012 0101 020000 020200 0204000500 020C00 020D00 0A 0900 0902", Vin,
         true, Frame, "P0420", "", false},
        // What the longer request left out is asked alone at once.
        {"units refuse several PIDs a request", canCar(),
         "01012 0200002 0202001 02040005001 0204001 0205001 020C001 020D001 0A 09002 0902", Vin, true, Frame, "P0420",
         "", true, Several::Refused},
        {"units answer several PIDs short", canCar(),
         "01012 0200002 0202001 02040005001 0205001 020C001 020D001 0A 09002 0902", Vin, true, Frame, "P0420", "", true,
         Several::Short},
    };
    for (const Case& c : cases) for (const bool split : {false, true}) {
        SCOPED_TRACE(split ? "split" : "whole");
        ScriptedTransport link(adapter(c.car, c.countDigit, '6', c.several));
        Session session;
        const SessionResult result = read(session, link, Clock::now() + 5s, split);
        ASSERT_EQ(result.status.toString(), "ok") << c.what;
        EXPECT_EQ(codesText(result.pending), "P0300") << c.what;
        EXPECT_EQ(codesText(result.stored), "P0420 P0133 U0100") << c.what;
        EXPECT_EQ(servicesAsked(link), c.asked) << c.what;
        const VehicleInfo& v = result.vehicle;
        EXPECT_EQ(v.vin, c.vin) << c.what;
        EXPECT_EQ(v.make, *c.vin ? "honda" : "") << c.what;
        EXPECT_EQ(v.readiness.size(), c.readiness ? 11U : 0U) << c.what;
        EXPECT_EQ(v.mil.value_or(false), c.readiness) << c.what;
        EXPECT_EQ(freezeText(v), c.freeze) << c.what;
        EXPECT_EQ(codesText(v.permanent), c.permanent) << c.what;
        EXPECT_EQ(notReadText(v), c.notRead) << c.what;
        ASSERT_EQ(v.units.size(), 2U) << c.what;
        EXPECT_EQ(v.units[0].address + " " + v.units[0].name + ": " + codesText(v.units[0].stored), "7E8 engine: P0420 P0133")
            << c.what;
        EXPECT_EQ(v.units[1].address + " " + v.units[1].name + ": " + codesText(v.units[1].stored), "7E9 transmission: U0100")
            << c.what;
    }
}

// An adapter too slow for the time given, or a read stopped, at each request: every item
// from there on is not read, with its reason, and none of them looks like "none".
TEST(Elm327VehicleRead, ItemsNotReadWhenTooSlowOrStopped) {
    struct Case {
        const char* at;  // the request that gets no answer in time, or during which the stop comes
        const char* notRead;
    };
    const std::vector<Case> cases = {
        {"0101", "readiness, freeze_frame, permanent, vin"},
        {"020000", "freeze_frame, permanent, vin"},
        {"020C00", "freeze_frame, permanent, vin"},
        {"0A", "permanent, vin"},
        {"0902", "vin"},
    };
    for (const Case& c : cases) for (const bool stopped : {false, true}) {
        SCOPED_TRACE(stopped ? "stopped" : "too slow");
        std::stop_source stop;
        const ScriptedTransport::Script base = adapter(canCar());
        ScriptedTransport link([&](const std::string& command) -> Reply {
            const bool counted = command.size() % 2 == 1 && command.size() > 2;
            if ((counted ? command.substr(0, command.size() - 1) : command) != c.at) return base(command);
            if (stopped) stop.request_stop();
            return {{2s, "NO DATA\r\r>"}};
        });
        Session session;
        session.readVehicle(false);
        const SessionResult codes = session.readCodes(link, Clock::now() + 5s);
        ASSERT_TRUE(codes.status.isOk());
        const Clock::time_point start = Clock::now();
        const VehicleInfo v = session.readVehicleInfo(link, start + 600ms, stop.get_token(), codes);
        EXPECT_LT(Clock::now() - start, 900ms) << c.at;
        std::string items;
        for (const ItemNotRead& item : v.notRead) {
            constexpr const char* Names[] = {"readiness", "freeze_frame", "permanent", "vin"};
            items += (items.empty() ? "" : ", ") + std::string(Names[static_cast<int>(item.item)]);
            EXPECT_EQ(item.reason, stopped ? "the read was stopped" : "no answer in time") << c.at;
        }
        EXPECT_EQ(items, c.notRead) << c.at;
        EXPECT_EQ(v.units.size(), 2U) << c.at << ": the codes stay";
    }
}

// What a read learnt of who answers a request of known length is kept for the next read
// of the same car: 02 00 and 09 00 then wait for the engine alone rather than for the
// transmission's timeout. Other units answering the codes are another car: learnt afresh.
// A unit that answers after all, first, takes the count: asked again without it.
TEST(Elm327VehicleRead, ALaterReadCountsOnTheUnitsThatAnsweredBefore) {
    Answers car = canCar();
    ScriptedTransport link([&car](const std::string& command) { return adapter(car)(command); });
    Session session;
    ASSERT_TRUE(session.readCodes(link, Clock::now() + 5s).status.isOk());
    EXPECT_EQ(servicesAsked(link), AllAsked);
    link.clearCommands();
    ASSERT_TRUE(session.readCodes(link, Clock::now() + 5s).status.isOk());
    EXPECT_EQ(servicesAsked(link), "01012 0200001 0202001 02040005001 020C001 020D001 0A 09001 0902");

    // The transmission keeps a frame support list now, and answers first: the count of one
    // heard it alone, so the engine's was lost, and the request goes again without it.
    car["020000"] = "7E9 07 42 00 00 00 00 00 00 \r7E8 07 42 00 00 58 18 00 00 ";
    link.clearCommands();
    const SessionResult third = session.readCodes(link, Clock::now() + 5s);
    EXPECT_EQ(servicesAsked(link), "01012 0200001 020000 0202001 02040005001 020C001 020D001 0A 09001 0902");
    EXPECT_EQ(freezeText(third.vehicle), Frame);

    // Other units answer the codes: another car. What was learnt is dropped (02 00 counts
    // both units of the codes again), and a count that heard other units than those
    // expected is asked again without it.
    car["03"] = "7E8 06 43 02 04 20 01 33 00 \r7EA 04 43 01 C1 00 00 00 00 ";
    link.clearCommands();
    ASSERT_TRUE(session.readCodes(link, Clock::now() + 5s).status.isOk());
    EXPECT_EQ(servicesAsked(link), "01012 0101 0200002 020000 0202001 02040005001 020C001 020D001 0A 09002 0902");

    // Units that refused a request for several PIDs are asked one PID a request by the next
    // read of the car at once.
    ScriptedTransport refusing(adapter(canCar(), true, '6', Several::Refused));
    Session second;
    ASSERT_TRUE(second.readCodes(refusing, Clock::now() + 5s).status.isOk());
    refusing.clearCommands();
    ASSERT_TRUE(second.readCodes(refusing, Clock::now() + 5s).status.isOk());
    EXPECT_EQ(servicesAsked(refusing), "01012 0200001 0202001 0204001 0205001 020C001 020D001 0A 09001 0902");
}

TEST(Elm327VehicleRead, LegacyBusVinInFiveFrames) {
    // J1850 VPW, engine 10 and transmission 18; the check byte closes every frame.
    const Answers car = {
        {"07", "486B104701BB0000000033"},
        {"03", "486B104301330000000067\r486B184301BB00000000A5"},
        {"0100", "486B104100BE3EB811FA"},
        {"0101", "486B1041018107650477"},
        {"0900", "486B1049000140000000E1"},
        {"0902", "486B104902010000003155\r486B104902024847434D11\r486B104902033832363342\r"
                 "486B104902043341303016\r486B104902053433353220"},
    };
    ScriptedTransport link(adapter(car, true, '2'));
    Session session;
    const SessionResult result = session.readCodes(link, Clock::now() + 5s);
    ASSERT_TRUE(result.status.isOk()) << result.status.toString();
    EXPECT_EQ(codesText(result.stored), "P0133 P01BB");
    EXPECT_EQ(servicesAsked(link), "01012 0200002 0A 09002 0902");
    EXPECT_EQ(result.vehicle.vin, "1HGCM82633A004352");
    EXPECT_EQ(result.vehicle.make, "honda");
    EXPECT_EQ(result.vehicle.modelYear, 2003);
    EXPECT_EQ(result.vehicle.storedCount, 1);
    EXPECT_EQ(result.vehicle.inspection, "Fails the inspection (the check-engine light is on)");
    EXPECT_EQ(result.vehicle.units.size(), 2U);
}

TEST(Elm327VehicleRead, AnAdapterLostOnTheWayKeepsTheCodesAndIsSetUpAgain) {
    struct Case {
        const char* what;
        Reply reply;  // to the request for readiness
    };
    const std::vector<Case> cases = {
        {"silent", {}},
        {"reset", {{0ms, "\r\rELM327 v1.5\r\r>"}}},
        {"lost the car", {{0ms, "UNABLE TO CONNECT\r\r>"}}},
    };
    for (const Case& c : cases) for (const bool split : {false, true}) {
        SCOPED_TRACE(split ? "split" : "whole");
        const ScriptedTransport::Script base = adapter(canCar());
        ScriptedTransport link([&](const std::string& command) {
            return command.starts_with("0101") ? c.reply : base(command);
        });
        Session session;
        const Clock::time_point start = Clock::now();
        const SessionResult result = read(session, link, start + 3s, split);
        EXPECT_EQ(result.status.toString(), "ok") << c.what;
        EXPECT_EQ(codesText(result.stored), "P0420 P0133 U0100") << c.what;
        EXPECT_EQ(servicesAsked(link), "01012") << c.what;
        EXPECT_TRUE(result.vehicle.readiness.empty()) << c.what;
        EXPECT_EQ(result.vehicle.notRead.size(), 4U) << c.what;
        // A silent adapter is given up by the deadline.
        EXPECT_LT(Clock::now() - start, 3500ms) << c.what;
        link.clearCommands();
        EXPECT_EQ(session.readCodes(link, Clock::now() + 3s).status.toString(), "ok") << c.what;
        EXPECT_EQ(link.commands().front(), "ATWS") << c.what << ": the full set-up";
    }
}

}  // namespace
}  // namespace vx414::elm327
