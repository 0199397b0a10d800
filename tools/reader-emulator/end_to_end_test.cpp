// The emulator, the tty device library and ReceiveReport together, through a real
// pseudo-terminal, with the device library calls in the order the program makes them.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <mutex>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "reader/report_receiver.h"
#include "reader/vx414/tty_device_library.h"
#include "tools/reader-emulator/reader_emulator.h"
#include "tools/reader-emulator/testing/running_emulator.h"

extern char** environ;

namespace vx414::emulator {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

std::string codeText(std::span<const TroubleCode> codes) {
    std::string text;
    for (const TroubleCode& code : codes) {
        if (!text.empty()) text += ' ';
        text += code.text();
    }
    return text;
}

// One read as the program makes it: start (open, close, open, request), the report,
// then the end byte on success or the failure path (open, close, end byte while closed).
ReceiveResult programRead(DeviceLibrary& link) {
    link.DeviceOpen();
    link.DeviceClose();
    link.DeviceOpen();
    link.DeviceWriteByte(RequestByte);
    ReportBuffer reportBytes{};
    int reportIndex = 0;
    const ReceiveResult result = ReceiveReport(link, reportBytes, reportIndex);
    if (result.ok()) {
        link.DeviceWriteByte(EndByte);
        link.DeviceClose();
    } else {
        link.DeviceOpen();
        link.DeviceClose();
        link.DeviceWriteByte(EndByte);
    }
    return result;
}

Options sampleOptions() {
    const std::vector<std::string_view> arguments = {"--pending", "P0300", "--stored", "C1234", "U0100"};
    return *parseArguments(arguments).options;
}

TEST(ReaderLinkEndToEnd, EveryReplyThroughAPseudoTerminal) {
    struct Case {
        Fault fault;
        std::size_t noise;
        bool ok;
    };
    const Case cases[] = {
        {Fault::None, 0, true},           {Fault::None, 20'000, true},      {Fault::Slow, 0, true},
        {Fault::BadChecksum, 0, false},   {Fault::BadSeparator, 0, false}, {Fault::ValueBB, 0, false},
        {Fault::TooMany, 0, false},       {Fault::CutOff, 0, false},       {Fault::Babble, 0, false},
        {Fault::Silent, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(faultName(c.fault)) + " noise " + std::to_string(c.noise));
        Options options = sampleOptions();
        options.fault = c.fault;
        options.noise = c.noise;
        RunningEmulator emulator(options);
        ASSERT_FALSE(emulator.path().empty());
        TtyDeviceLibrary link(emulator.path());

        const ReceiveResult result = programRead(link);
        EXPECT_EQ(result.ok(), c.ok) << result.status.toString();
        if (c.ok) {
            EXPECT_EQ(result.report.firstKind, "Pending");
            EXPECT_EQ(codeText(result.report.firstCodes()), "P0300");
            EXPECT_EQ(result.report.secondKind, "Stored");
            EXPECT_EQ(codeText(result.report.secondCodes()), "C1234 U0100");
        }
        // The request, then the end byte: after a success, and after a failure where it is
        // written to the closed link.
        EXPECT_EQ(emulator.received(2), (Bytes{RequestByte, EndByte}));
        EXPECT_FALSE(link.isOpen());
        EXPECT_EQ(link.DeviceLinkName(), "reader emulator");  // announced beside the bytes, not in them
    }
}

TEST(ReaderLinkEndToEnd, ReadsAgainAfterAFailureAndEndsWithTheExitSequence) {
    Options options = sampleOptions();
    options.fault = Fault::Babble;
    RunningEmulator babbler(options);
    TtyDeviceLibrary link(babbler.path());
    EXPECT_FALSE(programRead(link).ok());
    // Babble left in the line while it was closed must not spoil the next exchange: the
    // babbler stopped at the end byte, and the open drops what is left.
    link.DeviceOpen();
    link.DeviceWriteByte(0x01);
    link.DeviceClose();
    EXPECT_EQ(babbler.received(3), (Bytes{RequestByte, EndByte, 0x01}));

    RunningEmulator good(sampleOptions());
    TtyDeviceLibrary goodLink(good.path());
    EXPECT_TRUE(programRead(goodLink).ok());
    EXPECT_TRUE(programRead(goodLink).ok());
    // The exit: end byte to the closed link, then open and close.
    goodLink.DeviceWriteByte(EndByte);
    goodLink.DeviceOpen();
    goodLink.DeviceClose();
    EXPECT_EQ(good.received(5), (Bytes{RequestByte, EndByte, RequestByte, EndByte, EndByte}));
}

// A link that counts the reads made through it.
class CountingLink final : public DeviceLibrary {
public:
    explicit CountingLink(DeviceLibrary& link) : link_(link) {}
    void DeviceOpen() override { link_.DeviceOpen(); }
    void DeviceClose() override { link_.DeviceClose(); }
    LinkByte DeviceReadByte() override {
        ++reads;
        return link_.DeviceReadByte();
    }
    void DeviceWriteByte(std::uint8_t byte) override { link_.DeviceWriteByte(byte); }

    std::size_t reads = 0;

private:
    DeviceLibrary& link_;
};

TEST(ReaderLinkEndToEnd, ATricklingReaderFailsWithinTheReportsBoundAndTheNextReadWorks) {
    // The largest report, 61 codes in 256 bytes, the first at once and each of the others
    // 0.25 s after the one before: every wait of the report sees its byte within half a
    // second, the whole report would take more than a minute, however slowly this machine
    // makes its reads. The fault goes to the first request only.
    Options options;
    for (std::uint8_t i = 0; i < MaxReportCodes; ++i) {
        (i < 30 ? options.content.first : options.content.second).codes.push_back(CodeBytes{i, 0x01});
    }
    options.fault = Fault::Trickle;
    options.gapMilliseconds = 250;
    options.faultyRequests = 1;
    const auto wholeReport = std::chrono::milliseconds(250) * (replyBytes(options).size() - 1);
    RunningEmulator emulator(options);
    ASSERT_FALSE(emulator.path().empty());
    TtyDeviceLibrary tty(emulator.path());
    CountingLink link(tty);

    link.DeviceOpen();
    link.DeviceClose();
    link.DeviceOpen();
    link.DeviceWriteByte(RequestByte);
    std::size_t readsAtStartMarker = 0;
    ReportSink sink;
    sink.startMarkerRead = [&] { readsAtStartMarker = link.reads; };
    ReportBuffer reportBytes{};
    int reportIndex = 0;
    const auto began = std::chrono::steady_clock::now();
    const ReceiveResult trickled = ReceiveReport(link, reportBytes, reportIndex, sink);
    const auto took = std::chrono::steady_clock::now() - began;
    // The failure path: open, close, the end byte to the closed link.
    link.DeviceOpen();
    link.DeviceClose();
    link.DeviceWriteByte(EndByte);

    EXPECT_FALSE(trickled.ok());
    EXPECT_EQ(trickled.status.code(), LinkCode::Timeout) << trickled.status.toString();
    ASSERT_GT(readsAtStartMarker, 0U);
    EXPECT_EQ(link.reads - readsAtStartMarker, static_cast<std::size_t>(BodyBound));
    EXPECT_LT(took, wholeReport);

    // What the reader still had to send is dropped at the end byte; the next read is whole.
    const ReceiveResult next = programRead(link);
    ASSERT_TRUE(next.ok()) << next.status.toString();
    EXPECT_EQ(next.report.codeCount, MaxReportCodes);
    EXPECT_EQ(next.report.codes[0].text(), "P0001");
    EXPECT_EQ(next.report.codes[60].text(), "P3C01");
    EXPECT_EQ(emulator.received(4), (Bytes{RequestByte, EndByte, RequestByte, EndByte}));
}

// The emulator's program: in the build folder (VX414_BUILD_DIR under ctest), which is the
// parent of this test's own folder.
std::string emulatorProgram() {
    if (const char* buildDir = std::getenv("VX414_BUILD_DIR")) return std::string(buildDir) + "/vx414-reader-emulator";
    char self[4096] = {};
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    std::string path(self, length > 0 ? static_cast<std::size_t>(length) : 0);
    path = path.substr(0, path.rfind('/'));
    return path.substr(0, path.rfind('/')) + "/vx414-reader-emulator";
}

// The program itself: first line the path, every byte received logged, clean exit on SIGTERM.
class EmulatorProcess {
public:
    explicit EmulatorProcess(std::vector<std::string> arguments) {
        std::string program = emulatorProgram();
        arguments.insert(arguments.begin(), program);
        std::vector<char*> argv;
        for (std::string& argument : arguments) argv.push_back(argument.data());
        argv.push_back(nullptr);
        int pipeFds[2];
        if (::pipe(pipeFds) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
        if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(pipeFds[1]);
        output_ = pipeFds[0];
    }
    ~EmulatorProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (output_ >= 0) ::close(output_);
    }
    EmulatorProcess(const EmulatorProcess&) = delete;
    EmulatorProcess& operator=(const EmulatorProcess&) = delete;

    // Reads output until it holds `text` or the process ends, for at most five seconds.
    std::string outputUntil(std::string_view text) {
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        while (text_.find(text) == std::string::npos && std::chrono::steady_clock::now() < deadline) {
            pollfd wait{output_, POLLIN, 0};
            if (::poll(&wait, 1, 50) <= 0) continue;
            char buffer[512];
            const ssize_t got = ::read(output_, buffer, sizeof buffer);
            if (got <= 0) break;
            text_.append(buffer, static_cast<std::size_t>(got));
        }
        return text_;
    }

    // Sends SIGTERM and gives the exit status, waiting at most five seconds (-1: still running).
    int terminate() {
        ::kill(pid_, SIGTERM);
        return waitExit();
    }
    int waitExit() {
        for (int i = 0; i < 500; ++i) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            ::usleep(10'000);
        }
        return -1;
    }

private:
    pid_t pid_ = -1;
    int output_ = -1;
    std::string text_;
};

TEST(ReaderEmulatorProgram, ServesUntilSigterm) {
    EmulatorProcess process({"--pending", "P0300", "--stored", "C1234", "U0100"});
    const std::string firstLine = process.outputUntil("\n");
    ASSERT_TRUE(firstLine.starts_with("/dev/pts/")) << firstLine;
    const std::string path = firstLine.substr(0, firstLine.find('\n'));

    ::setenv(LinkEnvironmentVariable, path.c_str(), 1);
    const auto link = makeDeviceLibrary();
    const ReceiveResult result = programRead(*link);
    ::unsetenv(LinkEnvironmentVariable);
    ASSERT_TRUE(result.ok()) << result.status.toString();
    EXPECT_EQ(codeText(result.report.secondCodes()), "C1234 U0100");

    EXPECT_EQ(process.outputUntil("received 0xAA\n"), path + "\nreceived 0x55\nreceived 0xAA\n");
    EXPECT_EQ(process.terminate(), 0);
}

TEST(ReaderEmulatorProgram, HelpAndBadArguments) {
    EmulatorProcess help({"--help"});
    EXPECT_NE(help.outputUntil("Example:").find("Usage: vx414-reader-emulator"), std::string::npos);
    EXPECT_EQ(help.waitExit(), 0);

    EmulatorProcess bad({"--fault", "loud"});
    EXPECT_EQ(bad.outputUntil("\n"), "");
    EXPECT_EQ(bad.waitExit(), 2);
}

}  // namespace
}  // namespace vx414::emulator
