// Start-up with a good, a missing, an empty and a damaged data file, one that is not a
// regular file and one the glossary load cannot open; EXIT and closing.
#include "definitions/test_support.h"
#include "window/testing/data_files.h"
#include "window/testing/form_fixture.h"

#include <QCloseEvent>
#include <QCoreApplication>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <filesystem>
#include <functional>

namespace vx414 {
namespace {

using testing::DataFolder;
using testing::FormFixture;

PlainSources smallSources()
{
    PlainSources s;
    s.glossary = testing::sampleGlossary();
    s.sections["generic"] = {{"P0300", "Random/multiple cylinder misfire detected", "t"},
                             {"P0171", "System too lean (bank 1)", "t"}};
    s.sections["audi"] = {{"P1136", "Long term fuel trim add.air, Bank 1 system too lean", "t"}};
    return s;
}

TEST(StartUp, AGoodDataFileLoadsTheGlossaryAndTheGenericDefinitionsSilently)
{
    DataFolder folder(smallSources());
    FormFixture f(folder.path());
    frmMain& m = *f.form;
    m.Form_Load();

    EXPECT_TRUE(f.box.shown.empty());
    EXPECT_EQ(f.end.count, 0);
    EXPECT_TRUE(m.FormReady);
    EXPECT_EQ(m.AppFolder, folder.path());
    EXPECT_EQ(f.device.callText(), "Open Close");
    EXPECT_EQ(m.NormalColor, 0xC0FFFFu);
    EXPECT_EQ(m.HoverColor, 0xFF00FFu);
    EXPECT_EQ(m.GlossaryStart, 29);
    EXPECT_TRUE(m.Label5->isHidden());

    // The glossary: loaded, hidden.
    EXPECT_TRUE(m.FlexList1->isHidden());
    EXPECT_EQ(m.FlexList1->Rows(), 833);
    EXPECT_EQ(m.FlexList1->FixedRows(), 1);
    EXPECT_EQ(m.FlexList1->TextMatrix(0, 1), "TERM");
    EXPECT_EQ(m.FlexList1->TextMatrix(0, 2), "DIFINITION");
    EXPECT_EQ(m.FlexList1->TextMatrix(1, 1), "T0001");
    EXPECT_EQ(m.FlexList1->TextMatrix(832, 2), "Term 832");
    EXPECT_EQ(m.FlexList1->ColWidth(1), 1825);

    // The definitions table: the generic rows only, heading in row 0, real records last.
    EXPECT_EQ(m.flexDemo->Cols(), 3);
    EXPECT_EQ(m.flexDemo->ColWidth(0), 400);
    EXPECT_EQ(m.flexDemo->ColWidth(1), 2000);
    EXPECT_EQ(m.flexDemo->ColWidth(2), 10000);
    EXPECT_EQ(m.flexDemo->HighLight(), 2);
    EXPECT_EQ(m.flexDemo->Rows(), m.GenericCount);
    EXPECT_GT(m.GenericCount, 3);
    EXPECT_EQ(m.flexDemo->TextMatrix(0, 1), "CODE");
    const int last = m.GenericCount - 1;
    EXPECT_EQ(m.flexDemo->TextMatrix(last - 1, 1), "P0171");
    EXPECT_EQ(m.flexDemo->TextMatrix(last, 1), "P0300");
    EXPECT_EQ(m.flexDemo->TextMatrix(last, 2), "Random/multiple cylinder misfire detected");
    EXPECT_TRUE(m.flexDemo->isHidden());

    EXPECT_EQ(m.Vehicle->count(), 67);
    EXPECT_EQ(m.Vehicle->currentText(), "generic");
    EXPECT_EQ(m.Vehicle->itemText(66), "volvo");
    EXPECT_EQ(m.SelectedMake, "generic");
    EXPECT_EQ(f.pointers.screen, PointerDefault);
}

TEST(StartUp, AMissingOrEmptyDataFileIsReportedAndTheWindowStillOpens)
{
    struct Case {
        bool empty;
        const char* message;
    };
    for (const Case c : {Case{false, " File not found : "}, Case{true, " Cannot identify data file : "}}) {
        DataFolder folder;
        if (c.empty)
            folder.write({});
        FormFixture f(folder.path());
        f.form->Form_Load();
        ASSERT_EQ(f.box.shown.size(), 1u) << c.message;
        EXPECT_EQ(f.box.shown[0].text, c.message + folder.path() + "/VX-414.dis");
        EXPECT_EQ(f.box.shown[0].title, "VX-414");
        EXPECT_EQ(f.box.shown[0].buttons, MsgButtons::Ok);
        EXPECT_EQ(f.end.count, 0);
        EXPECT_TRUE(f.form->FormReady);
        EXPECT_EQ(f.device.callText(), "Open Close");
        // Nothing loaded: the glossary grid as created, an empty definitions table.
        EXPECT_EQ(f.form->FlexList1->Rows(), 2);
        EXPECT_EQ(f.form->flexDemo->Rows(), 0);
        EXPECT_EQ(f.form->GenericCount, 0);
        EXPECT_EQ(f.form->Vehicle->currentText(), "generic");
    }
}

TEST(StartUp, ADamagedPairEndsTheProgramBeforeTheWindowShows)
{
    struct Case {
        const char* where;
        std::int32_t position;
    };
    for (const Case c : {Case{"glossary", 29 + 20}, Case{"generic section", positionOfAddress(0x100069F0) + 40}}) {
        SCOPED_TRACE(c.where);
        DataFolder folder(smallSources());
        std::vector<std::uint8_t> bytes = folder.read();
        bytes.at(static_cast<std::size_t>(c.position - 1)) = 0x40;  // bit 6 set, bit 1 clear
        folder.write(bytes);
        FormFixture f(folder.path());
        f.form->Form_Load();
        ASSERT_EQ(f.box.shown.size(), 1u);
        EXPECT_EQ(f.box.shown[0].text, " Cannot identify data file : " + folder.path() + "/VX-414.dis");
        EXPECT_EQ(f.box.shown[0].title, "VX-414");
        EXPECT_EQ(f.end.count, 1);
        EXPECT_FALSE(f.form->FormReady);
    }
}

TEST(StartUp, ADataFileThatIsNotARegularFileIsNotFoundAndNothingWaitsForIt)
{
    // A FIFO is watched: were it opened for reading, the watchdog would find it held open
    // (and release the reader, so that the test fails rather than hangs).
    for (const bool atStartUp : {true, false}) {
        for (const bool isFifo : {true, false}) {
            SCOPED_TRACE(std::string(isFifo ? "FIFO" : "folder") + (atStartUp ? " at start-up" : " at a later click"));
            DataFolder folder(smallSources());
            std::unique_ptr<testing::ReaderlessFifo> fifo;
            const auto replaceTheFile = [&] {
                std::filesystem::remove(folder.file());
                if (isFifo)
                    fifo = std::make_unique<testing::ReaderlessFifo>(folder.file());
                else
                    std::filesystem::create_directory(folder.file());
            };
            if (atStartUp)
                replaceTheFile();
            FormFixture f(folder.path());
            frmMain& m = *f.form;
            m.Form_Load();
            const QString notFound = " File not found : " + folder.path() + "/VX-414.dis";
            if (atStartUp) {
                ASSERT_EQ(f.box.shown.size(), 1u);
                EXPECT_EQ(f.box.shown[0].text, notFound);
                EXPECT_TRUE(m.FormReady);
                EXPECT_EQ(m.FlexList1->Rows(), 2);  // the glossary grid as created
                EXPECT_EQ(m.GenericCount, 0);
            } else {
                ASSERT_TRUE(f.box.shown.empty());
                ASSERT_EQ(m.FlexList1->Rows(), 833);
                replaceTheFile();
            }
            // The later clicks that look at the file: the glossary reports it, a make loads
            // nothing and keeps the generic rows.
            const std::size_t shownBefore = f.box.shown.size();
            const int rowsBefore = m.flexDemo->Rows();
            m.Glossary_Click();
            ASSERT_EQ(f.box.shown.size(), shownBefore + 1);
            EXPECT_EQ(f.box.shown.back().text, notFound);
            EXPECT_TRUE(m.FlexList1->isHidden());
            m.Vehicle->setCurrentText("audi");
            m.Vehicle_Click();
            EXPECT_EQ(f.box.shown.size(), shownBefore + 1);
            EXPECT_EQ(m.flexDemo->Rows(), rowsBefore);
            EXPECT_EQ(f.end.count, 0);
            if (fifo) {
                EXPECT_FALSE(fifo->readerFound());
            }
        }
    }
}

// Every descriptor the process may still open is taken while it lives: the next open()
// fails with EMFILE, as an open of a file removed after the check fails with ENOENT.
class DescriptorsUsedUp {
public:
    DescriptorsUsedUp()
    {
        ::getrlimit(RLIMIT_NOFILE, &saved_);
        rlimit low = saved_;
        low.rlim_cur = std::min<rlim_t>(saved_.rlim_cur, 256);
        ::setrlimit(RLIMIT_NOFILE, &low);
        for (;;) {
            const int fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
            if (fd < 0)
                break;
            taken_.push_back(fd);
        }
    }
    ~DescriptorsUsedUp()
    {
        for (const int fd : taken_)
            ::close(fd);
        ::setrlimit(RLIMIT_NOFILE, &saved_);
    }
    DescriptorsUsedUp(const DescriptorsUsedUp&) = delete;
    DescriptorsUsedUp& operator=(const DescriptorsUsedUp&) = delete;

private:
    rlimit saved_{};
    std::vector<int> taken_;
};

TEST(StartUp, AGlossaryThatCannotBeReadIsReportedAndEndsTheProgramBeforeTheWindowShows)
{
    DataFolder folder(smallSources());
    FormFixture f(folder.path());
    {
        const DescriptorsUsedUp noneLeft;
        f.form->Form_Load();
    }
    ASSERT_EQ(f.box.shown.size(), 1u);
    const QString text = f.box.shown[0].text;
    // The message for a file that cannot be used, then why on its own line.
    EXPECT_TRUE(text.startsWith(" Cannot identify data file : " + folder.path() + "/VX-414.dis\n(cannot open the data file: "))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QString::fromLocal8Bit(std::strerror(EMFILE)))) << text.toStdString();
    EXPECT_EQ(f.box.shown[0].title, "VX-414");
    EXPECT_EQ(f.box.shown[0].buttons, MsgButtons::Ok);
    EXPECT_EQ(f.end.count, 1);
    EXPECT_FALSE(f.form->FormReady);
    // Start-up went no further: the generic definitions were never read.
    EXPECT_EQ(f.form->GenericCount, 0);
    EXPECT_TRUE(f.form->flexDemo->TextMatrix(1, 1).isEmpty());
}

TEST(Shutdown, ExitEndsTheExchangeAndClosingTheWindowLeavesTheReaderAlone)
{
    FormFixture f;
    f.form->EXITcmd_Click();
    EXPECT_EQ(f.device.callText(), "Write(AA, closed) Open Close");
    EXPECT_EQ(f.end.count, 1);

    FormFixture g;
    g.form->show();
    g.device.clearLog();
    EXPECT_TRUE(g.form->close());
    EXPECT_EQ(g.device.callText(), "");
    EXPECT_EQ(g.end.count, 0);
}

}  // namespace
}  // namespace vx414
