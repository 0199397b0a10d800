// A read from a link that hands over whole reports (an ELM327 adapter): the same window
// steps, codes the reader's frame cannot carry, and more codes than the table's 99 data
// rows hold.
#include "reader/link_status.h"
#include "window/testing/form_fixture.h"

#include <gtest/gtest.h>

namespace vx414 {
namespace {

using testing::FormFixture;

TroubleCode code(std::string_view text)
{
    const auto bytes = encodeTroubleCode(text);
    return decodeTroubleCode((*bytes)[0], (*bytes)[1]);
}

std::vector<TroubleCode> numbered(std::uint8_t first, int count)
{
    std::vector<TroubleCode> codes;
    for (int i = 0; i < count; ++i)
        codes.push_back(decodeTroubleCode(first, static_cast<std::uint8_t>(i)));
    return codes;
}

void readWith(FormFixture& f, LinkReport report)
{
    f.form->Link_Click();
    f.device.clearLog();
    f.device.giveReport(std::move(report));
    f.form->Timer1_Timer();
}

TEST(LinkReportRead, CodesTheFrameCannotCarryFillTheTableAsSent)
{
    FormFixture f;
    frmMain& m = *f.form;
    m.Vehicle->addItem("generic");
    readWith(f, {LinkStatus::ok(), {code("P01BB")}, {code("B3BBB"), code("P0040")}});

    EXPECT_EQ(f.device.callText(), "Write(AA) Close");  // no byte was read
    EXPECT_TRUE(f.box.shown.empty());
    EXPECT_EQ(f.beep.count, 1);
    EXPECT_TRUE(m.Link->isEnabled());
    EXPECT_FALSE(m.Timer1->isActive());
    const FlexGrid& t = *m.FlexList;
    EXPECT_FALSE(t.isHidden());
    const char* rows[][2] = {{"P01BB", "Pending"}, {"B3BBB", "Stored"}, {"P0040", "Stored"}};
    for (int r = 1; r <= 3; ++r) {
        EXPECT_EQ(t.TextMatrix(r, 2), rows[r - 1][0]) << r;
        EXPECT_EQ(m.DecodedCodes[static_cast<std::size_t>(r)], rows[r - 1][0]) << r;
    }
    EXPECT_EQ(t.TextMatrix(4, 0), "Total: 3");
    EXPECT_EQ(t.Rows(), 100);
    EXPECT_EQ(m.CodeCount, 3);
    EXPECT_EQ(m.FirstBlockCount, 1);
    EXPECT_EQ(m.FirstBlockKind, "Pending");
    EXPECT_EQ(m.SecondBlockKind, "Stored");
    // ReportBytes as the frame would hold it, the 0xBB values included.
    EXPECT_EQ(m.ReportBytes[2], 0x01);
    EXPECT_EQ(m.ReportBytes[3], 0xBB);
    EXPECT_EQ(m.ReportBytes[8], 0xBB);
    EXPECT_EQ(m.ReportIndex, 11);
    EXPECT_EQ(m.ReportBytes[11], 0xBB);  // the checksum: 0x05 + 0xBB + 0xBB + 0x00 + 0x40 = 0x1BB
}

TEST(LinkReportRead, MoreCodesThanNinetyEightGrowTheTableAndEveryCodeIsShown)
{
    FormFixture f;
    frmMain& m = *f.form;
    const std::vector<TroubleCode> pending = numbered(0x01, 70);
    const std::vector<TroubleCode> stored = numbered(0x02, 50);
    readWith(f, {LinkStatus::ok(), pending, stored});
    ASSERT_TRUE(f.box.shown.empty());
    const FlexGrid& t = *m.FlexList;
    EXPECT_EQ(t.Rows(), 122);
    for (int r = 1; r <= 120; ++r) {
        const TroubleCode& expected = r <= 70 ? pending[static_cast<std::size_t>(r - 1)]
                                              : stored[static_cast<std::size_t>(r - 71)];
        EXPECT_EQ(t.TextMatrix(r, 2).toStdString(), expected.toString()) << r;
    }
    EXPECT_EQ(t.TextMatrix(121, 0), "Total: 120");
    EXPECT_EQ(t.TextMatrix(121, 2), "*");
    EXPECT_EQ(m.CodeCount, 120);
    EXPECT_EQ(m.FirstBlockCount, 70);

    // The next read of a few codes gives today's table of 100 rows again.
    readWith(f, {LinkStatus::ok(), {code("P0300")}, {}});
    EXPECT_EQ(t.Rows(), 100);
    EXPECT_EQ(t.TextMatrix(1, 2), "P0300");
    EXPECT_EQ(t.TextMatrix(2, 0), "Total: 1");
    for (int r = 3; r < 100; ++r)
        EXPECT_EQ(t.TextMatrix(r, 2), "*") << r;

    // Exactly 98 codes: the total on the last of the 99 data rows, as the table always was.
    readWith(f, {LinkStatus::ok(), numbered(0x03, 50), numbered(0x04, 48)});
    EXPECT_EQ(t.Rows(), 100);
    EXPECT_EQ(t.TextMatrix(98, 2), "P042F");
    EXPECT_EQ(t.TextMatrix(99, 0), "Total: 98");
}

TEST(LinkReportRead, AFailedOrOversizedReportTakesTheFailurePathAndSaysWhyUnderIt)
{
    struct Case {
        const char* what;
        LinkReport report;
        const char* cause;
    };
    const Case cases[] = {
        {"no car", {LinkStatus(LinkCode::NoVehicle, "UNABLE TO CONNECT"), {}, {}},
         "The adapter answered, but no car did. Is the ignition on?"},
        {"no adapter", {LinkStatus(LinkCode::NoDevice, NoAdapterOnSerialPorts), {}, {}},
         "No adapter was found on the serial ports."},
        {"refused", {LinkStatus(LinkCode::NoDevice, ConnectionRefused), {}, {}},
         "The adapter refused the connection."},
        {"silent", {LinkStatus(LinkCode::Timeout, "adapter silent"), {}, {}}, "The adapter stopped answering."},
        {"line lost", {LinkStatus(LinkCode::Io, "the tty hung up"), {}, {}}, "The adapter stopped answering."},
        {"more codes than the program holds",
         {LinkStatus::ok(), std::vector<TroubleCode>(MaxLinkReportCodes + 1, code("P0300")), {}},
         "The adapter's answer could not be read."},
    };
    for (const Case& c : cases) {
        FormFixture f;
        frmMain& m = *f.form;
        readWith(f, {LinkStatus::ok(), {code("P0171")}, {}});  // a good read first
        ASSERT_EQ(m.CodeCount, 1);
        readWith(f, c.report);
        ASSERT_EQ(f.box.shown.size(), 1u) << c.what;
        // The message box of every failed read, with the cause as its second paragraph.
        EXPECT_EQ(f.box.shown[0].text, " USB without pending ! Please check USB cable and test again. ") << c.what;
        EXPECT_EQ(f.box.shown[0].title, "         Error Msg") << c.what;
        EXPECT_EQ(f.box.shown[0].buttons, MsgButtons::OkCancel) << c.what;
        EXPECT_EQ(f.box.shown[0].informative, c.cause) << c.what;
        EXPECT_EQ(f.device.callText(), "Open Close Write(AA, closed)") << c.what;
        EXPECT_TRUE(m.FlexList->isHidden()) << c.what;
        EXPECT_EQ(m.CodeCount, 1) << c.what;
        EXPECT_TRUE(m.Link->isEnabled()) << c.what;
        EXPECT_FALSE(m.Timer1->isActive()) << c.what;
    }
}

}  // namespace
}  // namespace vx414
