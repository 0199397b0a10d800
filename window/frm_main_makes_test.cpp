// Choosing a make: the definitions table after each choice, the refresh of a read's
// results, and a failed load that leaves the next one working.
#include "definitions/generic_extension.h"
#include "reader/report_encoder.h"
#include "window/controls/units.h"
#include "window/testing/data_files.h"
#include "window/testing/form_fixture.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdio>

namespace vx414 {
namespace {

using testing::DataFolder;
using testing::FormFixture;

PlainSources makeSources()
{
    PlainSources s;
    s.glossary = testing::sampleGlossary();
    s.sections["generic"] = {{"P0300", "Random/multiple cylinder misfire detected", "t"},
                             {"P0171", "System too lean (bank 1)", "t"},
                             {"U0100", "Lost communication with ECM/PCM A", "t"}};
    s.sections["audi"] = {{"P0171", "Audi: fuel trim too lean, bank 1", "t"},
                          {"P1136", "Long term fuel trim add.air, bank 1", "t"},
                          {"P1234", "2nd oxygen sensor heater", "t"},
                          {"P1137", "", "t"}};
    s.sections["bmw"] = {{"P1083", "Fuel control mixture lean, bank 1", "t"}};
    s.sections["mmc"] = {{"P1100", "Smart car boost pressure sensor", "t"}};
    return s;
}

struct Loaded : FormFixture {
    explicit Loaded(const DataFolder& folder) : FormFixture(folder.path()) { form->Form_Load(); }
    void choose(const QString& make)
    {
        form->Vehicle->setCurrentText(make);
        form->Vehicle_Click();
    }
    // The make rows: everything after the generic rows that has a code.
    std::vector<std::pair<QString, QString>> makeRows() const
    {
        std::vector<std::pair<QString, QString>> rows;
        for (int r = form->GenericCount; r < form->flexDemo->Rows(); ++r)
            if (!form->flexDemo->TextMatrix(r, 1).isEmpty())
                rows.emplace_back(form->flexDemo->TextMatrix(r, 1), form->flexDemo->TextMatrix(r, 2));
        return rows;
    }
};

TEST(Makes, EachChoiceReplacesTheMakeRowsBehindTheGenericOnes)
{
    DataFolder folder(makeSources());
    Loaded f(folder);
    const int generic = f.form->GenericCount;
    const QString lastGeneric = f.form->flexDemo->TextMatrix(generic - 1, 1);

    f.choose("audi");
    EXPECT_EQ(f.form->GenericCount, generic);
    EXPECT_EQ(f.form->flexDemo->TextMatrix(generic - 1, 1), lastGeneric);
    using Rows = std::vector<std::pair<QString, QString>>;
    // Sorted by code; a definition starting with a digit gets a space in front; an empty
    // one stays empty.
    EXPECT_EQ(f.makeRows(), (Rows{{"P0171", "Audi: fuel trim too lean, bank 1"},
                                  {"P1136", "Long term fuel trim add.air, bank 1"},
                                  {"P1137", ""},
                                  {"P1234", " 2nd oxygen sensor heater"}}));
    EXPECT_EQ(f.form->SelectedMake, "audi");
    EXPECT_TRUE(f.form->TXTGlossary->isHidden());
    EXPECT_FALSE(f.form->LabelVS[0]->isHidden());
    EXPECT_EQ(f.pointers.screen, PointerDefault);
    EXPECT_EQ(f.pointers.screenHistory.back(), PointerDefault);

    f.choose("bmw");
    EXPECT_EQ(f.makeRows(), (Rows{{"P1083", "Fuel control mixture lean, bank 1"}}));

    // The four entries that share one section load the same rows.
    for (const char* make : {"mmc", "smart smart city", "cabrio", "fortwo"}) {
        f.choose(make);
        EXPECT_EQ(f.makeRows(), (Rows{{"P1100", "Smart car boost pressure sensor"}})) << make;
    }
    // A make without records of its own: generic rows and fillers only.
    f.choose("geo");
    EXPECT_TRUE(f.makeRows().empty());
    // "generic" after start-up cuts the table back to the generic rows.
    f.choose("generic");
    EXPECT_EQ(f.form->flexDemo->Rows(), generic);
    EXPECT_EQ(f.form->flexDemo->TextMatrix(generic - 1, 1), lastGeneric);
    EXPECT_TRUE(f.box.shown.empty());
}

TEST(Makes, AfterAReadAMakeChoiceRefillsTheResultsWithItsDefinitions)
{
    DataFolder folder(makeSources());
    Loaded f(folder);
    f.form->Link_Click();
    // P0171 pending; P0300 and P1136 stored.
    f.device.queueBytes(encodeReport({{true, {{0x01, 0x71}}}, {false, {{0x03, 0x00}, {0x11, 0x36}}}}));
    f.form->Timer1_Timer();
    FlexGrid& t = *f.form->FlexList;
    ASSERT_EQ(t.TextMatrix(4, 0), "Total: 3");
    EXPECT_EQ(t.TextMatrix(1, 3), "System too lean (bank 1)");
    // P1136 is audi's only: no definition here, still its kind and the make, and the make
    // to choose for it.
    EXPECT_EQ(t.TextMatrix(3, 0), "Stored");
    EXPECT_EQ(t.TextMatrix(3, 1), f.form->Vehicle->currentText());
    EXPECT_EQ(t.TextMatrix(3, 3), "manufacturer-specific: choose the make");

    f.choose("audi");
    EXPECT_FALSE(t.isHidden());
    EXPECT_EQ(t.TextMatrix(1, 1), "audi");
    EXPECT_EQ(t.TextMatrix(1, 3), "Audi: fuel trim too lean, bank 1");  // the make's text wins
    EXPECT_EQ(t.TextMatrix(2, 3), "Random/multiple cylinder misfire detected");  // generic only
    EXPECT_EQ(t.TextMatrix(3, 0), "Stored");
    EXPECT_EQ(t.TextMatrix(3, 3), "Long term fuel trim add.air, bank 1");
    EXPECT_EQ(t.TextMatrix(4, 0), "Total: 3");  // the read's total line stays

    // Back to bmw: P1136 has no definition there, and its row shows none (never audi's
    // beside "bmw").
    f.choose("bmw");
    EXPECT_EQ(t.TextMatrix(1, 1), "bmw");
    EXPECT_EQ(t.TextMatrix(1, 3), "System too lean (bank 1)");
    EXPECT_EQ(t.TextMatrix(3, 0), "Stored");
    EXPECT_EQ(t.TextMatrix(3, 1), "bmw");
    EXPECT_EQ(t.TextMatrix(3, 3), "");

    // After the glossary, a make choice leaves the results alone.
    f.form->Glossary_Click();
    f.choose("audi");
    EXPECT_TRUE(t.isHidden());
    EXPECT_EQ(t.TextMatrix(1, 1), "bmw");
}

TEST(Makes, AFailedLoadIsReportedAndTheNextLoadWorks)
{
    DataFolder folder(makeSources());
    // The audi section starts with a record whose definition is far too long.
    folder.patch(positionOfAddress(0x10046663), "P1999\n" + std::string(1200, 'x') + "\n");
    Loaded f(folder);
    const int generic = f.form->GenericCount;
    f.choose("audi");
    ASSERT_EQ(f.box.shown.size(), 1u);
    EXPECT_EQ(f.box.shown[0].title, "VX-414");
    EXPECT_EQ(f.box.shown[0].buttons, MsgButtons::Ok);
    EXPECT_FALSE(f.box.shown[0].text.isEmpty());
    EXPECT_EQ(f.end.count, 0);
    EXPECT_EQ(f.form->flexDemo->Rows(), generic);  // no half-loaded audi rows
    EXPECT_EQ(f.pointers.screen, PointerDefault);

    f.choose("bmw");
    EXPECT_EQ(f.box.shown.size(), 1u);
    EXPECT_EQ(f.makeRows().size(), 1u);
}

// More generic records than the fixed generic section holds: the rest go to the extension,
// and the generic rows alone pass the table's first 10,000.
PlainSources overflowingSources()
{
    PlainSources s;
    s.glossary = testing::sampleGlossary();
    for (int n = 0; n < 12000; ++n) {
        char code[8];
        std::snprintf(code, sizeof code, "P%04X", n);
        s.sections["generic"].push_back({code, "Title " + std::to_string(n), "t"});
    }
    s.sections["audi"] = {{"P2EDF", "Audi's own text", "t"}};
    return s;
}

TEST(Makes, TheGenericExtensionJoinsTheGenericRowsAndADamagedOneIsReported)
{
    DataFolder whole(overflowingSources());
    DataFolder cut(overflowingSources());
    std::vector<std::uint8_t> bytes = cut.read();
    bytes.resize(static_cast<std::size_t>(positionOfAddress(kMakeSections.back().end)) - 1);
    cut.write(bytes);
    DataFolder damaged(overflowingSources());
    damaged.patch(positionOfAddress(kExtensionAddress + 30), "\x5A");  // the header's CRC

    Loaded withoutExtension(cut);
    const int fixed = withoutExtension.form->GenericCount;

    Loaded f(whole);
    EXPECT_TRUE(f.box.shown.empty());
    EXPECT_GT(f.form->GenericCount, kDefinitionRows);
    EXPECT_EQ(f.form->flexDemo->Rows(), f.form->GenericCount);
    for (int row = 0; row < fixed; ++row)
        ASSERT_EQ(f.form->flexDemo->TextMatrix(row, 1), withoutExtension.form->flexDemo->TextMatrix(row, 1)) << row;
    EXPECT_EQ(f.form->flexDemo->TextMatrix(f.form->GenericCount - 1, 2), "Title 11999");
    f.choose("audi");
    EXPECT_EQ(f.form->flexDemo->TextMatrix(f.form->flexDemo->Rows() - 1, 2), "Audi's own text");
    EXPECT_EQ(f.form->flexDemo->TextMatrix(f.form->GenericCount - 1, 2), "Title 11999");  // generic rows kept
    f.choose("generic");
    EXPECT_EQ(f.form->flexDemo->Rows(), f.form->GenericCount);

    Loaded g(damaged);
    ASSERT_EQ(g.box.shown.size(), 1u);
    EXPECT_EQ(g.box.shown[0].text, " Cannot identify data file : " + damaged.path() + "/VX-414.dis");
    EXPECT_EQ(g.box.shown[0].title, "VX-414");
    EXPECT_EQ(g.end.count, 0);
    EXPECT_EQ(g.form->GenericCount, fixed);  // the fixed rows, none of the extension's
    EXPECT_EQ(g.form->flexDemo->Rows(), fixed);
    g.choose("audi");
    EXPECT_EQ(g.box.shown.size(), 1u);
    EXPECT_EQ(g.form->flexDemo->TextMatrix(g.form->flexDemo->Rows() - 1, 2), "Audi's own text");
}

TEST(Makes, DataBytesBeyondAsciiShowAsTheirWindows1252Characters)
{
    // The sources hold data bytes: Windows-1252.
    PlainSources s = makeSources();
    s.sections["audi"] = {{"P0171", "R\xE9gime \x96 co\xFBt 5 \x80", "t"}};
    s.glossary[0] = {"\x8CIL", "\xBD \x93turn\x94", "t"};
    DataFolder folder(s);
    Loaded f(folder);
    f.choose("audi");
    EXPECT_EQ(f.makeRows(), (std::vector<std::pair<QString, QString>>{
                                {"P0171", QString::fromUtf8("R\u00e9gime \u2013 co\u00fbt 5 \u20ac")}}));
    EXPECT_EQ(f.form->FlexList1->TextMatrix(1, 1), QString::fromUtf8("\u0152IL"));
    EXPECT_EQ(f.form->FlexList1->TextMatrix(1, 2), QString::fromUtf8("\u00bd \u201cturn\u201d"));
}

TEST(Makes, TypingOnTheMakeBoxPicksMakesAsPeopleWriteThem)
{
    DataFolder folder(makeSources());
    // Keys more than this apart begin a new name.
    const int interval = QApplication::keyboardInputInterval();
    const struct {
        const char* name;
        std::vector<QString> typed;  // each typed whole, after a pause longer than the interval
        QString make;                // Vehicle and the make loaded afterwards
    } cases[] = {
        {"an entry's beginning", {"au"}, "audi"},
        {"an other name", {"vw"}, "volkswagen"},
        {"upper case and a blank inside", {"Range Rover"}, "land rover"},
        {"blanks left out", {"landr"}, "land rover"},
        {"the first entry that begins so", {"merc"}, "mercedes-benz"},
        {"another name sharing the section", {"smart"}, "smart smart city"},
        {"nothing begins so: the choice stays", {"au", "xq"}, "audi"},
        {"a pause begins a new name", {"audi", "bmw"}, "bmw"},
        {"a key that no longer fits begins a new name", {"bmwa"}, "acura"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Loaded f(folder);
        frmMain& m = *f.form;
        m.show();
        for (const QString& typed : c.typed) {
            QTest::qWait(interval + 50);
            QTest::keyClicks(m.Vehicle, typed);
        }
        EXPECT_EQ(m.Vehicle->currentText(), c.make);
        EXPECT_EQ(m.SelectedMake, c.make);  // chosen, as a click chooses: the make is loaded
        EXPECT_FALSE(m.Vehicle->view()->isVisible());
    }

    // In the open list a name moves the highlight; Enter chooses it.
    Loaded f(folder);
    frmMain& m = *f.form;
    m.show();
    m.Vehicle->showPopup();
    ASSERT_TRUE(QTest::qWaitFor([&m] { return m.Vehicle->view()->isVisible(); }, 2000));
    QTest::keyClicks(m.Vehicle->view(), "chevy");
    EXPECT_EQ(m.Vehicle->view()->currentIndex().data().toString(), "chevrolet");
    EXPECT_EQ(m.SelectedMake, "generic");
    QTest::keyClick(m.Vehicle->view(), Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&m] { return m.SelectedMake == "chevrolet"; }, 2000));
    EXPECT_EQ(m.Vehicle->currentText(), "chevrolet");
}

TEST(Glossary, TheButtonShowsTheLoadedListUnderItsHeading)
{
    DataFolder folder(makeSources());
    Loaded f(folder);
    f.form->ReadingMode = 1;
    f.form->Glossary_Click();
    frmMain& m = *f.form;
    EXPECT_EQ(m.ReadingMode, 0);
    EXPECT_FALSE(m.TXTGlossary->isHidden());
    EXPECT_EQ(m.TXTGlossary->text(), "Glossary");
    EXPECT_TRUE(m.LabelVS[0]->isHidden());
    EXPECT_FALSE(m.FlexList1->isHidden());
    EXPECT_EQ(m.FlexList1->Rows(), 833);
    EXPECT_EQ(m.FlexList1->TextMatrix(1, 0), "");
    EXPECT_EQ(m.FlexList1->ColWidth(2), 9650);
    EXPECT_NEAR(m.FlexList1->Left(), 500, 15);
    EXPECT_EQ(m.FlexList1->Top(), 2160);
    // Reckoned from FlexList's left edge, 480 until a result table has been laid out.
    EXPECT_NEAR(m.FlexList1->Width(), 12525 - 480, 15);
    EXPECT_EQ(f.pointers.screenHistory, (std::vector<int>{PointerHourglass, PointerDefault,
                                                          PointerHourglass, PointerDefault}));
}

TEST(Glossary, TheListFillsTheWindowWhateverItsSize)
{
    DataFolder folder(makeSources());
    Loaded f(folder);
    frmMain& m = *f.form;
    struct Case {
        const char* what;
        int widthPixels, heightPixels;
        bool fits;  // false: the list stays where the last click put it
    };
    // 2,400 pixels are 36,000 twips, more than a 16-bit number holds.
    for (const Case c : {Case{"as designed", 835, 568, true}, Case{"a wide screen", 2400, 1300, true},
                         Case{"narrower than the result table's left edge", 20, 568, false},
                         Case{"shorter than its top edge", 835, 100, false}}) {
        SCOPED_TRACE(c.what);
        m.Glossary_Click();  // at the designed size: the place to keep
        const QRect before = m.FlexList1->geometry();
        m.resize(c.widthPixels, c.heightPixels);
        m.Glossary_Click();
        EXPECT_FALSE(m.FlexList1->isHidden());
        EXPECT_EQ(m.FlexList1->ColWidth(2), 9650);
        if (c.fits) {
            EXPECT_NEAR(m.FlexList1->Left(), 500, 15);
            EXPECT_EQ(m.FlexList1->Top(), 2160);
            EXPECT_NEAR(m.FlexList1->Width(), twips(c.widthPixels) - 480, 15);
            EXPECT_NEAR(m.FlexList1->Height(), twips(c.heightPixels) - 2160, 15);
        } else {
            EXPECT_EQ(m.FlexList1->geometry(), before);
        }
        m.resize(835, 568);
    }
}

TEST(Glossary, AMissingOrEmptyFileAtTheClickGivesOneMessage)
{
    DataFolder folder(makeSources());
    Loaded f(folder);
    std::filesystem::remove(folder.file());
    f.form->Glossary_Click();
    ASSERT_EQ(f.box.shown.size(), 1u);
    EXPECT_EQ(f.box.shown[0].text, " File not found : " + folder.path() + "/VX-414.dis");
    EXPECT_TRUE(f.form->FlexList1->isHidden());
    EXPECT_FALSE(f.form->TXTGlossary->isHidden());

    folder.write({});
    f.form->Glossary_Click();
    ASSERT_EQ(f.box.shown.size(), 2u);
    EXPECT_EQ(f.box.shown[1].text, " Cannot identify data file : " + folder.path() + "/VX-414.dis");
    EXPECT_TRUE(f.form->FlexList1->isHidden());
}

}  // namespace
}  // namespace vx414
