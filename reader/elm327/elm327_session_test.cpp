#include "reader/elm327/elm327_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "reader/elm327/testing/scripted_transport.h"

namespace vx414::elm327 {
namespace {

using namespace std::chrono_literals;
using Chunk = ScriptedTransport::Chunk;
using Reply = ScriptedTransport::Reply;

// A car behind the adapter: what it answers to 0100, 07, 03 and 04, and to any other
// request (by its text, without a count digit); NO DATA to the rest.
struct Car {
    char protocol = '6';  // as ATDPN shows it, after the 'A' of a search
    std::string search = "7E8 06 41 00 BE 3F A8 13 00 \r";
    std::string pending = "7E8 02 47 00 00 00 00 00 00 \r";
    std::string stored = "7E8 02 43 00 00 00 00 00 00 \r";
    std::string clear = "7E8 01 44 00 00 00 00 00 00 \r";
    std::chrono::milliseconds searchTime{0};
    std::map<std::string, std::string> services = {};
};

// What clones do that a real ELM327 does not.
struct Quirks {
    bool echo = false;      // echo left on whatever ATE0 says
    bool lowerCase = false;
    bool okNoise = false;   // an "OK" line before every answer to the car
    bool noPrompt = false;  // never a '>'
    bool noWarmStart = false;  // ATWS answered "?"
    bool noAutoRetry = false;  // ATSPA<n> answered "?"
    std::string protocolNumber = "";  // ATDPN's answer after the search, when not the usual one
    bool foundBefore = false;  // an earlier run set it up and it found the car
};

// An ELM327 as its data sheet describes it, with the car and quirks given. It searches
// on the first request to the car after ATZ, as ATSP0 makes it do.
ScriptedTransport::Script elm327(const Car& car, const Quirks& quirks = {}) {
    auto searched = std::make_shared<bool>(quirks.foundBefore);
    return [car, quirks, searched](const std::string& command) {
        std::string head = quirks.echo ? command + "\r" : "";
        std::string body;
        std::chrono::milliseconds wait{0};
        const bool toCar = !command.empty() && !command.starts_with("AT") &&
                           std::all_of(command.begin(), command.end(),
                                       [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; });
        // A last odd digit is the number of answers to wait for.
        const std::string request = command.size() % 2 == 1 && command.size() > 2 ? command.substr(0, command.size() - 1)
                                                                                  : command;
        if (command == "ATZ" || (command == "ATWS" && !quirks.noWarmStart)) {
            *searched = false;
            body = "\r\rELM327 v1.5\r";
        } else if (command == "ATI") {
            body = "ELM327 v1.5\r";
        } else if (command == "ATDPN") {
            body = !*searched                        ? "A0\r"
                   : quirks.protocolNumber.empty() ? std::string("A") + car.protocol + "\r"
                                                   : quirks.protocolNumber + "\r";
        } else if (command == "ATWS" || (command.starts_with("ATSPA") && quirks.noAutoRetry)) {
            body = "?\r";
        } else if (command.starts_with("ATSP")) {
            *searched = false;
            body = "OK\r";
        } else if (command.starts_with("AT")) {
            body = "OK\r";
        } else if (toCar) {
            if (quirks.okNoise) head += "OK\r";
            if (!*searched) {
                head += "SEARCHING...\r";
                wait = car.searchTime;
                *searched = true;
            }
            const auto service = car.services.find(request);
            body = request == "0100"              ? car.search
                   : request == "07"              ? car.pending
                   : request == "03"              ? car.stored
                   : request == "04"              ? car.clear
                   : service != car.services.end() ? service->second
                                                  : "NO DATA\r";
        } else {
            body = "?\r";
        }
        body += quirks.noPrompt ? "\r" : "\r>";
        if (quirks.lowerCase) {
            std::transform(body.begin(), body.end(), body.begin(),
                           [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
        }
        return Reply{{0ms, head}, {wait, body}};
    };
}

std::string codeText(const std::vector<TroubleCode>& codes) {
    std::string text;
    for (const TroubleCode& code : codes) text += (text.empty() ? "" : " ") + code.toString();
    return text;
}

Deadline in(std::chrono::milliseconds time) { return Clock::now() + time; }

// The commands of the set-up and the codes: the requests that follow 03 up to the next AT
// command (the services after the codes) left out.
std::string codeCommands(const ScriptedTransport& link) {
    std::string text;
    bool afterCodes = false;
    for (const std::string& command : link.commands()) {
        if (command.starts_with("AT")) afterCodes = false;
        if (afterCodes) continue;
        text += (text.empty() ? "" : " ") + command;
        afterCodes = command == "03";
    }
    return text;
}

template <class F>
void inParallel(std::size_t count, F work) {
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < count; ++i) threads.emplace_back(work, i);
    for (std::thread& thread : threads) thread.join();
}

// A first read of an adapter just powered: the probe finds no protocol, a warm start and
// the search follow; ATSP0 is not needed, as the probe saw the setting automatic.
constexpr const char* FullSetUp = "ATE0 ATH1 ATDPN ATWS ATE0 ATS0 ATH1 0100 ATDPN";

TEST(Elm327Session, ReadsEveryKindOfCarPendingFirst) {
    struct Case {
        const char* what;
        Car car;
        int protocol;
        const char* pending;
        const char* stored;
    };
    const Case cases[] = {
        {"CAN 11-bit, two units, seven codes in a multi-frame answer",
         {'6', "7E8 06 41 00 BE 3F A8 13 00 \r7E9 06 41 00 98 18 80 01 00 \r", "7E9 04 47 01 01 BB 00 00 00 \r",
          "7E8 10 10 43 07 01 33 01 BB \r7E9 04 43 01 C1 00 00 00 00 \r7E8 21 03 00 BB BB 04 20 C1 \r"
          "7E8 22 00 40 35 00 00 00 00 \r",
          "", 0ms},
         6, "P01BB", "P0133 P01BB P0300 B3BBB P0420 U0100 C0035"},
        {"CAN 29-bit",
         {'7', "18DAF11006410098188001\r", "18DAF1100247000000000000\r", "18DAF110044301BBBB000000\r", "", 0ms}, 7,
         "", "B3BBB"},
        {"J1850 VPW",
         {'2', "486B104100BE3EB811FA\r", "486B104701BB0000000033\r",
          "486B104301330000000067\r486B184301BB00000000A5\r", "", 0ms},
         2, "P01BB", "P0133 P01BB"},
        {"ISO 9141-2 after its bus init",
         {'3', "BUS INIT: ...OK\r486B104100BE3EB811C9\r", "NO DATA\r", "486B10430133C1000000A7\r", "", 0ms}, 3, "",
         "P0133 U0100"},
        {"KWP fast", {'5', "86F1104100BE3EB81148\r", "87F1104701BB000000008B\r", "NO DATA\r", "", 0ms}, 5, "P01BB", ""},
        {"a car without codes", {}, 6, "", ""},
    };
    for (const Case& c : cases) {
        ScriptedTransport link(elm327(c.car));
        Session session;
        const SessionResult result = session.readCodes(link, in(5s));
        EXPECT_EQ(result.status.toString(), "ok") << c.what;
        EXPECT_EQ(codeText(result.pending), c.pending) << c.what;
        EXPECT_EQ(codeText(result.stored), c.stored) << c.what;
        EXPECT_EQ(session.protocol(), c.protocol) << c.what;
        EXPECT_EQ(codeCommands(link), std::string(FullSetUp) + " 07 03") << c.what;
    }
}

TEST(Elm327Session, LaterReadsUseTheSetUpAndProtocolFoundBefore) {
    Car car;
    car.stored = "7E8 04 43 01 01 BB 00 00 00 \r";
    ScriptedTransport link(elm327(car));
    Session session;
    ASSERT_TRUE(session.readCodes(link, in(5s)).status.isOk());

    // Still set up and connected: ATDPN shows the protocol found before.
    link.clearCommands();
    SessionResult result = session.readCodes(link, in(5s));
    EXPECT_TRUE(result.status.isOk()) << result.status.toString();
    EXPECT_EQ(codeText(result.stored), "P01BB");
    EXPECT_EQ(codeCommands(link), "ATDPN 07 03");

    // Reset in between (power lost, say): ATDPN shows no protocol, the full set-up
    // follows.
    ScriptedTransport restarted(elm327(car));
    result = session.readCodes(restarted, in(5s));
    EXPECT_TRUE(result.status.isOk()) << result.status.toString();
    EXPECT_EQ(codeCommands(restarted), "ATDPN ATWS ATE0 ATS0 ATH1 0100 ATDPN 07 03");
    EXPECT_EQ(session.protocol(), 6);

    // After a failure the next read starts over.
    restarted.clearCommands();
    restarted.readFault = {LinkCode::Io, "gone"};
    EXPECT_EQ(session.readCodes(restarted, in(5s)).status.code(), LinkCode::Io);
    restarted.readFault = {};
    restarted.clearCommands();
    EXPECT_TRUE(session.readCodes(restarted, in(5s)).status.isOk());
    EXPECT_EQ(codeCommands(restarted), "ATWS ATE0 ATS0 ATH1 ATSPA6 0100 ATDPN 07 03");

    // forget() starts from nothing: the probe finds the adapter set up and connected.
    session.forget();
    restarted.clearCommands();
    EXPECT_TRUE(session.readCodes(restarted, in(5s)).status.isOk());
    EXPECT_EQ(codeCommands(restarted), "ATE0 ATH1 ATDPN ATI 07 03");
}

TEST(Elm327Session, SlowSearchIsWaitedForWithinTheDeadline) {
    // A 5-baud initialisation: seconds of silence after "SEARCHING...", longer than any
    // wait for an AT command and than the quiet gap that ends a prompt-less answer.
    Car car;
    car.protocol = '3';
    car.search = "BUS INIT: ...OK\r486B104100BE3EB811C9\r";
    car.stored = "486B10430133000000008A\r";
    car.pending = "NO DATA\r";
    car.searchTime = 2500ms;
    ScriptedTransport link(elm327(car));
    Session session;
    const SessionResult result = session.readCodes(link, in(10s));
    EXPECT_TRUE(result.status.isOk()) << result.status.toString();
    EXPECT_EQ(codeText(result.stored), "P0133");

    // The same search against a deadline it cannot meet fails, by the deadline.
    ScriptedTransport again(elm327(car));
    Session other;
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(other.readCodes(again, in(1500ms)).status.code(), LinkCode::Timeout);
    EXPECT_LT(Clock::now() - start, 2s);
}

TEST(Elm327Session, SilentAdapterOrNoCarFailsWithinThreeSeconds) {
    struct Case {
        const char* what;
        ScriptedTransport::Script script;
        std::string expected;
    };
    Car noCar;
    noCar.search = "UNABLE TO CONNECT\r";
    const Case cases[] = {
        {"silent adapter", [](const std::string&) { return Reply{}; }, "timeout: adapter silent"},
        {"no car", elm327(noCar), "no vehicle: no car answered"},
        {"no car, NO DATA to the search", elm327(Car{'6', "NO DATA\r", "", "", "", 0ms}),
         "no vehicle: no car answered"},
        {"something else on the port",
         [](const std::string&) { return Reply{{10ms, "\x55\xAA\xBB\x01"}}; }, "timeout: answer incomplete"},
        {"an adapter that stops after the reset",
         [](const std::string& command) { return command == "ATZ" ? Reply{{0ms, "ELM327 v1.5\r\r>"}} : Reply{}; },
         "timeout: adapter silent"},
    };
    // Side by side, each on its own thread: the waits are real.
    std::vector<std::string> statuses(std::size(cases));
    std::vector<Clock::duration> times(std::size(cases));
    inParallel(std::size(cases), [&](std::size_t i) {
        ScriptedTransport link(cases[i].script);
        Session session;
        const Clock::time_point start = Clock::now();
        statuses[i] = session.readCodes(link, in(10s)).status.toString();
        times[i] = Clock::now() - start;
    });
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(statuses[i], cases[i].expected) << cases[i].what;
        EXPECT_LT(times[i], 3s) << cases[i].what;
    }

    // Later reads find a silent adapter quicker still: ATDPN waits a second.
    ScriptedTransport link(elm327(Car{}));
    Session session;
    ASSERT_TRUE(session.readCodes(link, in(5s)).status.isOk());
    ScriptedTransport silent([](const std::string&) { return Reply{}; });
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(session.readCodes(silent, in(10s)).status.code(), LinkCode::Timeout);
    EXPECT_LT(Clock::now() - start, 2s);
    // The one after starts over with the warm start: waiting out the answer the adapter
    // still owes comes out of that command's own 2 s, not on top of them.
    const Clock::time_point again = Clock::now();
    EXPECT_EQ(session.readCodes(silent, in(10s)).status.code(), LinkCode::Timeout);
    EXPECT_LT(Clock::now() - again, 2500ms);
    EXPECT_EQ(silent.commands().back(), "ATWS");
}

TEST(Elm327Session, CloneQuirksGiveTheSameCodes) {
    Car car;
    car.pending = "7E8 04 47 01 01 BB 00 00 00 \r";
    car.stored = "7E8 06 43 02 BB BB 01 33 00 \r";
    const struct {
        const char* what;
        Quirks quirks;
    } cases[] = {
        {"none", {}},
        {"echo", {true, false, false, false}},
        {"lower case", {false, true, false, false}},
        {"OK noise", {false, false, true, false}},
        {"no prompt", {false, false, false, true}},
        {"all of them", {true, true, true, true}},
    };
    // A first read and a later one for each; side by side, as a clone without a prompt
    // costs a quiet gap on every command.
    std::vector<std::array<SessionResult, 2>> results(std::size(cases));
    inParallel(std::size(cases), [&](std::size_t i) {
        ScriptedTransport link(elm327(car, cases[i].quirks));
        Session session;
        results[i][0] = session.readCodes(link, in(10s));
        results[i][1] = session.readCodes(link, in(10s));
    });
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        for (const SessionResult& result : results[i]) {
            EXPECT_EQ(result.status.toString(), "ok") << cases[i].what;
            EXPECT_EQ(codeText(result.pending), "P01BB") << cases[i].what;
            EXPECT_EQ(codeText(result.stored), "B3BBB P0133") << cases[i].what;
        }
    }
}

TEST(Elm327Session, PromptsLeftOverFromEarlierAnswersAreSkipped) {
    // A clone that sends a second prompt a little after each answer.
    auto script = elm327(Car{'6', "7E8 06 41 00 BE 3F A8 13 00 \r", "7E8 02 47 00 00 00 00 00 00 \r",
                             "7E8 04 43 01 01 BB 00 00 00 \r", "", 0ms});
    ScriptedTransport link([script](const std::string& command) {
        Reply reply = script(command);
        reply.push_back({reply.back().after + 20ms, "\r>"});
        return reply;
    });
    Session session;
    const SessionResult result = session.readCodes(link, in(5s));
    EXPECT_EQ(result.status.toString(), "ok");
    EXPECT_EQ(codeText(result.stored), "P01BB");
}

TEST(Elm327Session, ResetInTheMiddleFailsAndTheNextReadStartsOver) {
    Car car;
    auto script = elm327(car);
    bool resetDone = false;
    ScriptedTransport link([&](const std::string& command) {
        if (command == "03" && !resetDone) {
            resetDone = true;
            script("ATZ");
            return Reply{{0ms, "7E8 04 43 01 01"}, {5ms, "\r\rELM327 v1.5\r\r>"}};
        }
        return script(command);
    });
    Session session;
    EXPECT_EQ(session.readCodes(link, in(5s)).status.toString(), "protocol error: adapter reset");
    link.clearCommands();
    EXPECT_TRUE(session.readCodes(link, in(5s)).status.isOk());
    EXPECT_EQ(codeCommands(link), "ATWS ATE0 ATS0 ATH1 ATSPA6 0100 ATDPN 07 03");
}

TEST(Elm327Session, BadAnswersFailWithinTheirBounds) {
    struct Case {
        const char* what;
        Car car;
        std::string expected;
    };
    Car endless;
    endless.stored = std::string(70 * 1024, '\r');
    const Case cases[] = {
        {"a line longer than any answer", Car{'6', "7E8 06 41 00 BE 3F A8 13 00 \r", "", std::string(300, 'A'), "", 0ms},
         "protocol error: line too long"},
        {"an answer of more than 64 KiB", endless, "protocol error: answer too long"},
        {"garbage", Car{'6', "7E8 06 41 00 BE 3F A8 13 00 \r", "", "#$%&\r", "", 0ms}, "protocol error: unreadable answer"},
        {"a refusal", Car{'6', "7E8 06 41 00 BE 3F A8 13 00 \r", "", "7E8 03 7F 03 22 00 00 00 00 \r", "", 0ms},
         "protocol error: car refused the request"},
        {"CAN ERROR", Car{'6', "CAN ERROR\r", "", "", "", 0ms}, "protocol error: adapter reported a bus error"},
        {"a bus that fails to start", Car{'3', "BUS INIT: ...ERROR\r", "", "", "", 0ms},
         "no vehicle: bus initialisation failed"},
        {"STOPPED", Car{'6', "7E8 06 41 00 BE 3F A8 13 00 \r", "STOPPED\r", "", "", 0ms},
         "protocol error: adapter stopped"},
    };
    for (const Case& c : cases) {
        Car car = c.car;
        if (car.pending.empty()) car.pending = "NO DATA\r";
        ScriptedTransport link(elm327(car));
        Session session;
        const SessionResult result = session.readCodes(link, in(5s));
        EXPECT_EQ(result.status.toString(), c.expected) << c.what;
        EXPECT_TRUE(result.pending.empty() && result.stored.empty()) << c.what;
    }

    // An answer that trickles on without end stops at the deadline.
    Car trickle;
    ScriptedTransport link([script = elm327(trickle)](const std::string& command) {
        if (command != "03") return script(command);
        Reply reply;
        for (int i = 0; i < 100; ++i) reply.push_back({std::chrono::milliseconds(20 * i), "7E8 02 43 00 00 00 00 00 00 \r"});
        return reply;
    });
    Session session;
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(session.readCodes(link, in(1s)).status.toString(), "timeout: answer incomplete");
    EXPECT_LT(Clock::now() - start, 1500ms);
}

TEST(Elm327Session, StopIsHonouredAtAnyWait) {
    Car car;
    car.searchTime = 5000ms;
    ScriptedTransport link(elm327(car));
    Session session;
    std::stop_source stop;
    std::thread stopper([&] {
        std::this_thread::sleep_for(100ms);
        stop.request_stop();
    });
    const Clock::time_point start = Clock::now();
    const SessionResult result = session.readCodes(link, in(10s), stop.get_token());
    stopper.join();
    EXPECT_EQ(result.status.toString(), "timeout: stopped");
    EXPECT_LT(Clock::now() - start, 1s);
}

// A real chip takes a command sent before its prompt for a stop: it answers "STOPPED" and
// the command is lost. An answer cut short, by a stop (a new read) or by the deadline of
// the services after the codes, is waited out instead; a stop leaves the adapter set up.
TEST(Elm327Session, AnAnswerCutShortIsWaitedOutBeforeTheNextCommand) {
    Car car;
    car.stored = "7E8 04 43 01 01 BB 00 00 00 \r";
    for (const bool byDeadline : {false, true}) {
        SCOPED_TRACE(byDeadline ? "cut by its deadline" : "stopped");
        const ScriptedTransport::Script chip = elm327(car);
        auto answeringUntil = std::make_shared<Clock::time_point>();
        ScriptedTransport link([&chip, answeringUntil](const std::string& command) -> Reply {
            const Clock::time_point now = Clock::now();
            if (now < *answeringUntil) return {{0ms, "STOPPED\r\r>"}};
            // The readiness question after the codes: a second unit answers 300 ms late.
            if (command.starts_with("0101")) {
                *answeringUntil = now + 300ms;
                return {{0ms, "7E8 06 41 01 00 07 65 00 00 \r"}, {300ms, "7E9 06 41 01 00 07 65 00 00 \r\r>"}};
            }
            return chip(command);
        });
        Session session;
        session.readVehicle(false);
        const SessionResult codes = session.readCodes(link, in(5s));
        ASSERT_TRUE(codes.status.isOk()) << codes.status.toString();

        std::stop_source stop;
        std::thread stopper([&] {
            std::this_thread::sleep_for(100ms);
            if (!byDeadline) stop.request_stop();
        });
        // The services end by the deadline they are given.
        session.readVehicleInfo(link, byDeadline ? in(150ms) : in(5s), stop.get_token(), codes);
        stopper.join();

        link.clearCommands();
        const SessionResult again = session.readCodes(link, in(5s));
        EXPECT_EQ(again.status.toString(), "ok");
        EXPECT_EQ(codeText(again.stored), "P01BB");
        EXPECT_EQ(codeCommands(link), byDeadline ? "ATWS ATE0 ATS0 ATH1 ATSPA6 0100 ATDPN 07 03" : "ATDPN 07 03");
    }
}

TEST(Elm327Session, TransportFaultsEndTheRead) {
    ScriptedTransport link(elm327(Car{}));
    link.writeFault = {LinkCode::Io, "write failed"};
    Session session;
    EXPECT_EQ(session.readCodes(link, in(5s)).status.toString(), "i/o error: write failed");

    ScriptedTransport closed(elm327(Car{}));
    closed.close();
    EXPECT_TRUE(session.readCodes(closed, in(5s)).status.isOk());
    EXPECT_EQ(closed.opens, 1);
}

TEST(Elm327Session, ClearingIsOkOnlyWhenTheCarConfirms) {
    const struct {
        const char* what;
        std::string answer;
        std::string expected;
    } cases[] = {
        {"44", "7E8 01 44 00 00 00 00 00 00 \r", "ok"},
        {"refused", "7E8 03 7F 04 22 00 00 00 00 \r", "protocol error: car refused the request"},
        {"NO DATA", "NO DATA\r", "protocol error: car did not confirm"},
    };
    for (const auto& c : cases) {
        Car car;
        car.clear = c.answer;
        ScriptedTransport link(elm327(car));
        Session session;
        EXPECT_EQ(session.clearCodes(link, in(5s)).status.toString(), c.expected) << c.what;
        EXPECT_EQ(link.commandText(), std::string(FullSetUp) + " 04") << c.what;
        link.clearCommands();
        if (c.expected == "ok") {
            EXPECT_TRUE(session.readCodes(link, in(5s)).status.isOk());
            EXPECT_EQ(codeCommands(link), "ATDPN 07 03") << c.what;
        }
    }
}

// The car's answers to 01 0C in turn, the last for every later one; "" is silence.
ScriptedTransport::Script engineSpeedAnswers(const Car& car, std::vector<std::string> answers) {
    auto others = elm327(car);
    auto asked = std::make_shared<std::size_t>(0);
    return [others, answers, asked](const std::string& command) {
        if (command != "010C") return others(command);
        const std::string& text = answers[std::min(*asked, answers.size() - 1)];
        ++*asked;
        return text.empty() ? Reply{} : Reply{{0ms, text + "\r>"}};
    };
}

TEST(Elm327Session, EngineSpeedIsTheHighestAnyUnitGives) {
    const struct {
        const char* what;
        char protocol;
        std::vector<std::string> answers;
        std::optional<double> rpm;
        const char* notRead;
        const char* status;
        std::size_t requests;  // of 01 0C
    } cases[] = {
        {"engine stopped, hybrid unit turning", '6', {"7E8 04 41 0C 00 00 \r7E9 04 41 0C 1A F8 \r"}, 1726, "", "ok", 1},
        {"the other way round", '6', {"7E8 04 41 0C 1A F8 \r7E9 04 41 0C 00 00 \r"}, 1726, "", "ok", 1},
        {"running engine, one unit", '6', {"7E8 04 41 0C 0C 81 00 00 00 \r"}, 800.25, "", "ok", 1},
        {"stopped on both", '6', {"7E8 04 41 0C 00 00 \r7E9 04 41 0C 00 00 \r"}, 0, "", "ok", 1},
        {"29-bit CAN", '7', {"18DAF110 04 41 0C 0C 80 \r18DAF118 04 41 0C 00 00 \r"}, 800, "", "ok", 1},
        {"headers off", '6', {"41 0C 0C 80 \r"}, 800, "", "ok", 1},
        {"ISO 9141-2", '3', {"48 6B 10 41 0C 1A F8 22 \r"}, 1726, "", "ok", 1},
        {"NO DATA", '6', {"NO DATA\r"}, std::nullopt, "the car does not give it", "ok", 1},
        {"every unit refuses", '6', {"7E8 03 7F 01 12 \r7E9 03 7F 01 11 \r"}, std::nullopt, "the car refused it", "ok", 1},
        {"one unit refuses", '6', {"7E8 03 7F 01 12 \r7E9 04 41 0C 0C 80 \r"}, 800, "", "ok", 1},
        {"a short message", '6', {"7E8 03 41 0C 1A \r"}, std::nullopt, "the answer could not be read", "ok", 1},
        {"a short message beside a good one", '6', {"7E8 03 41 0C 1A \r7E9 04 41 0C 0C 80 \r"}, 800, "", "ok", 1},
        {"0 rpm beside a short message is not an engine off", '6', {"7E8 03 41 0C 1A \r7E9 04 41 0C 00 00 \r"},
         std::nullopt, "the answer could not be read", "ok", 1},
        {"another PID", '6', {"7E8 03 41 0D 00 \r"}, std::nullopt, "the answer could not be read", "ok", 1},
        {"a broken frame", '6', {"7E8 04 41 0C 1A \r"}, std::nullopt, "the answer could not be read",
         "protocol error: broken multi-frame answer", 1},
        {"one bus error", '6', {"CAN ERROR\r", "7E8 04 41 0C 0C 80 \r"}, 800, "", "ok", 2},
        {"bus errors twice", '6', {"CAN ERROR\r"}, std::nullopt, "the answer could not be read",
         "protocol error: adapter reported a bus error", 2},
        {"the car gone", '6', {"UNABLE TO CONNECT\r"}, std::nullopt, "the car stopped answering",
         "no vehicle: no car answered", 1},
        {"silence", '6', {""}, std::nullopt, "no answer in time", "timeout: adapter silent", 1},
    };
    for (const auto& c : cases) {
        Car car;
        car.protocol = c.protocol;
        car.pending = car.stored = "NO DATA\r";  // a form for any bus
        ScriptedTransport link(engineSpeedAnswers(car, c.answers));
        Session session;
        const EngineSpeedRead read = session.engineSpeed(link, in(c.answers.front().empty() ? 400ms : 5s));
        EXPECT_EQ(read.speed.rpm, c.rpm) << c.what;
        EXPECT_EQ(read.speed.notRead, c.notRead) << c.what;
        EXPECT_EQ(read.status.toString(), c.status) << c.what;
        const auto& sent = link.commands();
        EXPECT_EQ(static_cast<std::size_t>(std::count(sent.begin(), sent.end(), "010C")), c.requests) << c.what;
        // What the car said keeps the set-up for the clear that follows; a failure of the
        // link or the answer has the next exchange set the adapter up from the start.
        link.clearCommands();
        EXPECT_EQ(session.readCodes(link, in(5s)).status.toString(), "ok") << c.what;
        EXPECT_EQ(codeCommands(link).starts_with("ATDPN 07"), read.status.isOk()) << c.what << ": " << codeCommands(link);
    }

    // A pipe that fails: the link's words, and no speed.
    ScriptedTransport broken(elm327(Car{}));
    broken.writeFault = {LinkCode::Io, "write failed"};
    Session session;
    const EngineSpeedRead read = session.engineSpeed(broken, in(5s));
    EXPECT_EQ(read.speed.rpm, std::nullopt);
    EXPECT_EQ(read.speed.notRead, "the adapter stopped answering");
    EXPECT_EQ(read.status.toString(), "i/o error: write failed");
}

TEST(Elm327Session, TellsAnElm327FromOtherDevices) {
    const struct {
        const char* what;
        ScriptedTransport::Script script;
        bool expected;
    } cases[] = {
        {"ELM327", elm327(Car{}), true},
        {"a clone, lower case, echo, no prompt", elm327(Car{}, {true, true, false, true}), true},
        {"silent", [](const std::string&) { return Reply{}; }, false},
        {"another adapter", [](const std::string&) { return Reply{{0ms, "STN1110 v4.0\r\r>"}}; }, false},
        {"a modem", [](const std::string&) { return Reply{{0ms, "OK\r"}}; }, false},
        {"an answer too late", [](const std::string&) { return Reply{{900ms, "ELM327 v1.5\r\r>"}}; }, false},
    };
    std::vector<int> answers(std::size(cases));
    std::vector<Clock::duration> times(std::size(cases));
    std::vector<std::string> commands(std::size(cases));
    inParallel(std::size(cases), [&](std::size_t i) {
        ScriptedTransport link(cases[i].script);
        const Clock::time_point start = Clock::now();
        answers[i] = Session::answersAsElm327(link, in(500ms)) ? 1 : 0;
        times[i] = Clock::now() - start;
        commands[i] = link.commandText();
    });
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(answers[i] == 1, cases[i].expected) << cases[i].what;
        EXPECT_LT(times[i], 800ms) << cases[i].what;
        EXPECT_EQ(commands[i], "ATI") << cases[i].what;
    }
}

TEST(Elm327Session, PausesBeforeThePromptDoNotEndTheAnswer) {
    // Two units on 03; the second one's frames come after a pause. The codes of both, or
    // none: never the first unit's alone.
    const std::string first = "7E8 04 43 01 01 33 00 00 00 \r";
    const std::string second = "7E9 04 43 01 04 20 00 00 00 \r";
    const std::string waitFor = "7E8 03 7F 03 78 00 00 00 00 \r";
    struct Case {
        const char* what;
        Reply answer;  // to 03
        bool noPrompt;
        std::string expected;
    };
    const Case cases[] = {
        {"second unit 0.35 s late", {{0ms, first}, {350ms, second + "\r>"}}, false, "P0133 P0420"},
        {"second unit 0.9 s late", {{0ms, first}, {900ms, second + "\r>"}}, false, "P0133 P0420"},
        {"response pending, the answer 1 s later", {{0ms, waitFor}, {1000ms, first + second + "\r>"}}, false,
         "P0133 P0420"},
        {"response pending with a prompt, the answer 1 s later", {{0ms, waitFor + "\r>"}, {1000ms, first + second + "\r>"}},
         false, "P0133 P0420"},
        {"no prompt ever, response pending", {{0ms, waitFor}, {1000ms, first + second + "\r"}}, true, "P0133 P0420"},
        {"no prompt ever, second unit 0.1 s late", {{0ms, first}, {100ms, second + "\r"}}, true, "P0133 P0420"},
    };
    std::vector<SessionResult> results(std::size(cases));
    inParallel(std::size(cases), [&](std::size_t i) {
        Quirks quirks;
        quirks.noPrompt = cases[i].noPrompt;
        ScriptedTransport link([&, script = elm327(Car{}, quirks)](const std::string& command) {
            return command == "03" ? cases[i].answer : script(command);
        });
        Session session;
        results[i] = session.readCodes(link, in(5s));
    });
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(results[i].status.toString(), "ok") << cases[i].what;
        EXPECT_EQ(codeText(results[i].stored), cases[i].expected) << cases[i].what;
    }
}

TEST(Elm327Session, AnyProtocolNumberFormReadsOn) {
    Car car;
    car.stored = "7E8 04 43 01 01 BB 00 00 00 \r";
    const struct {
        const char* answer;  // to ATDPN after the search
        int protocol;
        const char* status;
    } cases[] = {
        {"A6", 6, "ok"},
        {"6", 6, "ok"},
        {"?", 0, "ok: protocol number unknown"},
        {"0", 0, "ok: protocol number unknown"},
        {"A0", 0, "ok: protocol number unknown"},
    };
    for (const auto& c : cases) {
        Quirks quirks;
        quirks.protocolNumber = c.answer;
        ScriptedTransport link(elm327(car, quirks));
        Session session;
        const SessionResult result = session.readCodes(link, in(5s));
        EXPECT_EQ(result.status.toString(), c.status) << c.answer;
        EXPECT_EQ(codeText(result.stored), "P01BB") << c.answer;
        EXPECT_EQ(session.protocol(), c.protocol) << c.answer;
        // A later read works as well.
        EXPECT_EQ(codeText(session.readCodes(link, in(5s)).stored), "P01BB") << c.answer;
    }
}

TEST(Elm327Session, SetUpCommandsInOrder) {
    Car car;
    car.stored = "7E8 04 43 01 01 BB 00 00 00 \r";
    const struct {
        const char* what;
        Quirks quirks;
        std::function<Reply(const std::string&, const ScriptedTransport::Script&)> tweak;
        const char* commands;
    } cases[] = {
        {"just powered: probe, warm start, search", {}, nullptr, "ATE0 ATH1 ATDPN ATWS ATE0 ATS0 ATH1 0100 ATDPN 07 03"},
        {"set up by an earlier run: the probe alone", {.foundBefore = true}, nullptr, "ATE0 ATH1 ATDPN ATI 07 03"},
        {"no ATWS: ATZ", {.noWarmStart = true}, nullptr, "ATE0 ATH1 ATDPN ATWS ATZ ATE0 ATS0 ATH1 0100 ATDPN 07 03"},
        {"probe's ATDPN answered ?: ATSP0",
         {},
         [n = std::make_shared<int>(0)](const std::string& command, const ScriptedTransport::Script& script) {
             if (command == "ATDPN" && (*n)++ == 0) return Reply{{0ms, "?\r\r>"}};
             return script(command);
         },
         "ATE0 ATH1 ATDPN ATWS ATE0 ATS0 ATH1 ATSP0 0100 ATDPN 07 03"},
        {"probe found a protocol, 07 searches: full set-up, 07 again",
         {.foundBefore = true},
         [n = std::make_shared<int>(0)](const std::string& command, const ScriptedTransport::Script& script) {
             if (command == "07" && (*n)++ == 0) return Reply{{0ms, "SEARCHING...\rUNABLE TO CONNECT\r\r>"}};
             return script(command);
         },
         "ATE0 ATH1 ATDPN ATI 07 ATWS ATE0 ATS0 ATH1 0100 ATDPN 07 03"},
        {"probe found a protocol, 07 answers with a banner: full set-up, 07 again",
         {.foundBefore = true},
         [n = std::make_shared<int>(0)](const std::string& command, const ScriptedTransport::Script& script) {
             if (command == "07" && (*n)++ == 0) return Reply{{0ms, "\r\rELM327 v1.5\r\r>"}};
             return script(command);
         },
         "ATE0 ATH1 ATDPN ATI 07 ATWS ATE0 ATS0 ATH1 0100 ATDPN 07 03"},
        {"probe answered with a banner: full set-up",
         {},
         [n = std::make_shared<int>(0)](const std::string& command, const ScriptedTransport::Script& script) {
             if (command == "ATE0" && (*n)++ == 0) return Reply{{0ms, "\r\rELM327 v1.5\r\r>"}};
             return script(command);
         },
         "ATE0 ATWS ATE0 ATS0 ATH1 ATSP0 0100 ATDPN 07 03"},
    };
    for (const auto& c : cases) {
        ScriptedTransport::Script script = elm327(car, c.quirks);
        ScriptedTransport link(c.tweak ? ScriptedTransport::Script([script, tweak = c.tweak](const std::string& command) {
            return tweak(command, script);
        })
                                       : script);
        Session session;
        const SessionResult result = session.readCodes(link, in(5s));
        EXPECT_EQ(result.status.toString(), "ok") << c.what;
        EXPECT_EQ(codeText(result.stored), "P01BB") << c.what;
        EXPECT_EQ(codeCommands(link), c.commands) << c.what;
    }
}

TEST(Elm327Session, RetryWithTheProtocolFoundBeforeFallsBackToTheSearch) {
    // After a failed read the protocol found before is tried first; an adapter that does
    // not know ATSPA<n> gets ATSP0, on this read and every later one.
    Car car;
    car.stored = "7E8 04 43 01 01 BB 00 00 00 \r";
    for (const bool knowsRetry : {true, false}) {
        Quirks quirks;
        quirks.noAutoRetry = !knowsRetry;
        ScriptedTransport link(elm327(car, quirks));
        Session session;
        ASSERT_TRUE(session.readCodes(link, in(5s)).status.isOk());
        link.readFault = {LinkCode::Io, "gone"};
        EXPECT_FALSE(session.readCodes(link, in(5s)).status.isOk());
        link.readFault = {};
        for (int read = 0; read < 2; ++read) {
            link.clearCommands();
            const SessionResult result = session.readCodes(link, in(5s));
            EXPECT_EQ(result.status.toString(), "ok") << knowsRetry;
            EXPECT_EQ(codeText(result.stored), "P01BB") << knowsRetry;
            if (read == 0) {
                EXPECT_EQ(codeCommands(link), knowsRetry ? "ATWS ATE0 ATS0 ATH1 ATSPA6 0100 ATDPN 07 03"
                                                         : "ATWS ATE0 ATS0 ATH1 ATSPA6 ATSP0 0100 ATDPN 07 03");
            } else {
                EXPECT_EQ(codeCommands(link), "ATDPN 07 03");
            }
        }
    }
}

TEST(Elm327Session, OneUnitRefusingKeepsTheOthersCodes) {
    const struct {
        const char* what;
        char protocol;
        std::string pending;
        std::string stored;
        const char* pendingCodes;
        const char* storedCodes;
        const char* status;
    } cases[] = {
        {"CAN, 7E9 refuses 03 and 07", '6', "7E8 04 47 01 01 71 00 00 00 \r7E9 03 7F 07 11 00 00 00 00 \r",
         "7E9 03 7F 03 11 00 00 00 00 \r7E8 04 43 01 04 20 00 00 00 \r", "P0171", "P0420", "ok"},
        {"CAN 29-bit", '7', "NO DATA\r", "18DAF110044301042000\r18DAF11803 7F 03 11 00 00 00 00\r", "", "P0420", "ok"},
        {"headers off", '6', "NO DATA\r", "43 01 04 20\r7F 03 11\r", "", "P0420", "ok"},
        {"J1850", '2', "NO DATA\r", "486B1043042000000000E6\r486B187F0311B2\r", "", "P0420", "ok"},
        {"conditions not correct, one unit", '6', "NO DATA\r", "7E8 04 43 01 04 20 00 00 00 \r7E9 03 7F 03 22 \r", "",
         "P0420", "ok"},
        {"every unit refuses", '6', "NO DATA\r", "7E8 03 7F 03 11 \r7E9 03 7F 03 11 \r", "", "",
         "protocol error: car refused the request"},
    };
    for (const auto& c : cases) {
        Car car;
        car.protocol = c.protocol;
        car.pending = c.pending;
        car.stored = c.stored;
        ScriptedTransport link(elm327(car));
        Session session;
        const SessionResult result = session.readCodes(link, in(5s));
        EXPECT_EQ(result.status.toString(), c.status) << c.what;
        EXPECT_EQ(codeText(result.pending), c.pendingCodes) << c.what;
        EXPECT_EQ(codeText(result.stored), c.storedCodes) << c.what;
    }

    // Clearing: which units confirmed, which refused; Ok when one confirmed.
    const struct {
        const char* what;
        std::string answer;
        const char* status;
        std::vector<std::string> confirmed;
        std::vector<std::string> refused;
    } clears[] = {
        {"both", "7E8 01 44 \r7E9 01 44 \r", "ok", {"7E8", "7E9"}, {}},
        {"one refuses", "7E8 01 44 \r7E9 03 7F 04 22 \r", "ok", {"7E8"}, {"7E9"}},
        {"both refuse", "7E8 03 7F 04 22 \r7E9 03 7F 04 11 \r", "protocol error: car refused the request", {},
         {"7E8", "7E9"}},
    };
    for (const auto& c : clears) {
        Car car;
        car.clear = c.answer;
        ScriptedTransport link(elm327(car));
        Session session;
        const ClearResult result = session.clearCodes(link, in(5s));
        EXPECT_EQ(result.status.toString(), c.status) << c.what;
        EXPECT_EQ(result.confirmed, c.confirmed) << c.what;
        EXPECT_EQ(result.refused, c.refused) << c.what;
    }
}

}  // namespace
}  // namespace vx414::elm327

namespace vx414::elm327 {
namespace {

// A read after one cut short while the adapter was still answering (a program killed, a
// stop at a deadline): the adapter takes the new read's first character as a stop, says
// STOPPED, then "?" to the rest of that command, late on a slow adapter. It is waited out
// and asked again at the same speed; the read goes on as usual.
TEST(Elm327Session, AReadAfterAnInterruptedOne) {
    const std::string oldAnswer = "7E8 10 14 49 02 01 31 48 47 \r7E8 21 43 4D 38 32 36 33 33 \r";
    struct Case {
        const char* what;
        Reply busy;  // the answer to the new read's first command
    };
    const std::vector<Case> cases = {
        {"STOPPED", {{0ms, "STOPPED\r\r>"}, {600ms, "?\r\r>"}}},
        {"the rest of an old answer, then STOPPED", {{0ms, oldAnswer + "STOPPED\r\r>"}, {900ms, "?\r\r>"}}},
        {"a partial line, then STOPPED", {{0ms, "7E8 21 43 4D STOPPED\r\r>"}, {300ms, "?\r\r>"}}},
    };
    for (const Case& c : cases) {
        Quirks setUp;
        setUp.foundBefore = true;
        const ScriptedTransport::Script chip = elm327(Car{}, setUp);
        auto first = std::make_shared<bool>(true);
        ScriptedTransport link([&chip, &c, first](const std::string& command) {
            if (*first) {
                *first = false;
                return c.busy;
            }
            return chip(command);
        });
        Session session;
        session.readVehicle(false);
        const SessionResult result = session.readCodes(link, in(5s));
        EXPECT_EQ(result.status.toString(), "ok") << c.what;
        EXPECT_EQ(codeCommands(link), "ATE0 ATE0 ATH1 ATDPN ATI 07 03") << c.what;
    }

    // The speed probe of a serial adapter: asked again at the same speed, not given up.
    const std::vector<Case> probes = {
        {"STOPPED", {{0ms, "STOPPED\r\r>"}, {400ms, "?\r\r>"}}},
        {"the rest of an old answer", {{0ms, oldAnswer + "\r>"}}},
    };
    for (const Case& c : probes) {
        auto first = std::make_shared<bool>(true);
        ScriptedTransport link([&c, first](const std::string& command) -> Reply {
            if (*first) {
                *first = false;
                return c.busy;
            }
            return command == "ATI" ? Reply{{0ms, "ELM327 v1.5\r\r>"}} : Reply{};
        });
        EXPECT_TRUE(Session::answersAsElm327(link, in(3s))) << c.what;
        EXPECT_EQ(link.commandText(), "ATI ATI") << c.what;
    }
}

// A request with an answer count whose only answer is "response pending": the adapter
// counted it and prompted. The unit's answer is waited for a moment past the prompt, then
// the request is sent again without the count.
TEST(Elm327Session, ResponsePendingAloneAfterACountedRequest) {
    const ScriptedTransport::Script chip = elm327(Car{}, Quirks{.foundBefore = true});
    ScriptedTransport link([&chip](const std::string& command) -> Reply {
        if (command == "01011") return {{0ms, "7E8 03 7F 01 78 \r\r>"}};
        return chip(command);
    });
    Session session;
    session.readVehicle(false);
    const SessionResult codes = session.readCodes(link, in(5s));
    ASSERT_TRUE(codes.status.isOk());
    link.clearCommands();
    session.readVehicleInfo(link, in(5s), {}, codes);
    EXPECT_TRUE(link.commandText().starts_with("01011 0101 ")) << link.commandText();
}

}  // namespace
}  // namespace vx414::elm327
