// Start-up with a good, a missing, an empty and a damaged data file; EXIT and closing.
#include "window/testing/data_files.h"
#include "window/testing/form_fixture.h"

#include <QCloseEvent>
#include <QCoreApplication>

#include <gtest/gtest.h>

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
