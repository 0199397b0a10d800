// Typing in CODESearch: codes after start-up, a read or a make choice; glossary terms after
// the glossary has been opened.
#include "window/controls/units.h"
#include "window/testing/data_files.h"
#include "window/testing/form_fixture.h"

#include <gtest/gtest.h>

namespace vx414 {
namespace {

using testing::DataFolder;
using testing::FormFixture;

PlainSources searchSources()
{
    PlainSources s;
    s.glossary = testing::sampleGlossary();
    s.glossary[100] = {"ABS", "Anti-lock brake system", "t"};
    s.sections["generic"] = {{"P0100", "Mass or volume air flow circuit", "t"},
                             {"P0101", "Mass air flow circuit range/performance", "t"},
                             {"P0101", "MAF sensor out of range (second text)", "t"},
                             {"P0102", "Mass air flow circuit low input", "t"},
                             {"P0300", std::string(300, 'm'), "t"},
                             {"U0100", "Lost communication with ECM/PCM A, the engine control module; "
                                       "check the CAN bus wiring and the module's power and ground",
                              "t"}};
    s.sections["audi"] = {{"P0100", "Audi: air mass meter", "t"}, {"P1136", "Fuel trim too lean", "t"}};
    return s;
}

struct Searching : FormFixture {
    explicit Searching(const DataFolder& folder) : FormFixture(folder.path()) { form->Form_Load(); }
    void type(const QString& text) { form->CODESearch->setText(text); }
    QStringList labels() const
    {
        return {form->Label1->text(), form->Label2->text(), form->Label3->text(), form->Label4->text()};
    }
};

TEST(CodeSearchWindow, TypingFindsTheFirstCodeAndTheEntryAfterIt)
{
    DataFolder folder(searchSources());
    Searching s(folder);
    s.type("p");
    EXPECT_EQ(s.labels(), (QStringList{"P0100", "Mass or volume air flow circuit", "P0101",
                                      "Mass air flow circuit range/performance"}));
    s.type("p010");
    EXPECT_EQ(s.form->Label1->text(), "P0100");
    s.type("p0101");  // listed twice: the meaning a read gives it (the last), the entry after the repeat
    EXPECT_EQ(s.labels(), (QStringList{"P0101", "MAF sensor out of range (second text)", "P0102",
                                      "Mass air flow circuit low input"}));
    s.type("U");  // the last generic row, which is the table's last row now
    EXPECT_EQ(s.form->Label1->text(), "U0100");
    EXPECT_EQ(s.form->Label3->text(), "");
    EXPECT_EQ(s.form->Label4->text(), "");
    EXPECT_EQ(s.beep.count, 0);
    for (QLabel* l : {s.form->Label1, s.form->Label2, s.form->Label3, s.form->Label4})
        EXPECT_FALSE(l->isHidden());
    EXPECT_TRUE(s.form->TXTGlossary->isHidden());

    // With a make loaded: a code in both is found in the generic rows but shown with the
    // make's text, as a read shows it; the last generic row still has no next entry.
    s.form->Vehicle->setCurrentText("audi");
    s.form->Vehicle_Click();
    s.type("P0100");
    EXPECT_EQ(s.form->Label2->text(), "Audi: air mass meter");
    EXPECT_EQ(s.form->Label3->text(), "P0101");
    s.type("U01");
    EXPECT_EQ(s.form->Label1->text(), "U0100");
    EXPECT_EQ(s.form->Label3->text(), "");  // the make's rows follow, but are not taken
    s.type("P113");
    EXPECT_EQ(s.labels(), (QStringList{"P1136", "Fuel trim too lean", "", ""}));
}

TEST(CodeSearchWindow, TheLastGenericRowHasNoNextEntryWhenARealMakeRecordFollows)
{
    // The definitions table as a make's load leaves it when the make's first record is a
    // real one, not a filler: rows 0 to 3 generic, then the make's.
    FormFixture f;
    frmMain& m = *f.form;
    const std::pair<const char*, const char*> rows[] = {
        {"CODE", "DEFINITION"},          {"P0100", "Mass air flow circuit"},
        {"U0100", "Lost communication"}, {"U0100", "Lost communication (second text)"},
        {"P1136", "Audi: fuel trim too lean"}, {"P1137", "Audi: fuel trim too rich"},
    };
    m.flexDemo->SetCols(3);
    m.flexDemo->SetRows(6);
    for (int r = 0; r < 6; ++r) {
        m.flexDemo->SetTextMatrix(r, 1, rows[r].first);
        m.flexDemo->SetTextMatrix(r, 2, rows[r].second);
    }
    m.GenericCount = 4;
    struct Case {
        const char* typed;
        const char* found;
        const char* next;  // Label3
    };
    for (const Case c : {Case{"P01", "P0100", "U0100"},    // a generic row before the last
                         Case{"U01", "U0100", ""},         // its repeat is the last generic row
                         Case{"P1136", "P1136", "P1137"},  // make rows follow each other
                         Case{"P1137", "P1137", ""}}) {    // the table's last row
        SCOPED_TRACE(c.typed);
        m.CODESearch->setText(c.typed);
        EXPECT_EQ(m.Label1->text(), c.found);
        EXPECT_EQ(m.Label3->text(), c.next);
    }
    // The last generic row found directly, not through a repeat.
    m.flexDemo->SetTextMatrix(2, 1, "P0200");
    m.CODESearch->setText("U01");
    EXPECT_EQ(m.Label1->text(), "U0100");
    EXPECT_EQ(m.Label3->text(), "");
    EXPECT_EQ(m.Label4->text(), "");
}

TEST(CodeSearchWindow, NoMatchBeepsEveryTimeAndAnEmptyBoxIsSilent)
{
    DataFolder folder(searchSources());
    Searching s(folder);
    s.form->FlexList->show();
    s.type("X");
    EXPECT_EQ(s.labels(), (QStringList{"? ? ? ?", "No definition  !", "", ""}));
    EXPECT_EQ(s.beep.count, 1);
    s.type("X1");
    EXPECT_EQ(s.beep.count, 2);
    EXPECT_TRUE(s.form->FlexList->isHidden());  // typing hides the result table
    s.type("");
    EXPECT_EQ(s.labels(), (QStringList{"", "", "", ""}));
    EXPECT_EQ(s.beep.count, 2);
    EXPECT_FALSE(s.form->Label1->isHidden());
}

TEST(CodeSearchWindow, OnlyLettersMatchWithoutRegardToCase)
{
    // Codes that differ from each other only in a bit that is a letter's case bit elsewhere;
    // the data bytes are Windows-1252 ("\xC9" is E acute).
    PlainSources sources = searchSources();
    sources.sections["generic"] = {{"P0[12", "bracket", "t"}, {"P0{12", "brace", "t"},
                                   {"P0@12", "at", "t"},     {"P0`12", "grave", "t"},
                                   {"\xC9TAT", "accented", "t"}};
    DataFolder folder(sources);
    Searching s(folder);
    const std::pair<QString, QString> cases[] = {
        {"p0[", "P0[12"}, {"p0{", "P0{12"}, {"P0@", "P0@12"}, {"p0`", "P0`12"},
        {QString::fromUtf8("\u00e9t"), QString::fromUtf8("\u00c9TAT")},
        {QString::fromUtf8("\u00c9TAT"), QString::fromUtf8("\u00c9TAT")},
    };
    for (const auto& [typed, found] : cases) {
        s.type(typed);
        EXPECT_EQ(s.form->Label1->text(), found) << typed.toStdString();
    }
    s.type("p0[12x");  // longer than every code
    EXPECT_EQ(s.form->Label1->text(), "? ? ? ?");
    s.type(QString::fromUtf8("e"));  // a plain e is not an E acute
    EXPECT_EQ(s.form->Label1->text(), "? ? ? ?");
}

TEST(CodeSearchWindow, DefinitionLabelsGrowWithTheirText)
{
    DataFolder folder(searchSources());
    Searching s(folder);
    s.type("P0102");
    EXPECT_EQ(twips(s.form->Label2->height()), 345);
    EXPECT_EQ(twips(s.form->Label4->height()), 1725);  // 300 wide letters: five lines at most
    s.type("U");  // about 100 characters: more than one line of 9,000 twips, less than two
    const int measured = twips(s.form->Label5->width());
    EXPECT_GT(measured, 9000);
    EXPECT_LE(measured, 18000);
    EXPECT_EQ(twips(s.form->Label2->height()), 690);
    EXPECT_EQ(s.form->Label5->text(), s.form->Label2->text());
    EXPECT_TRUE(s.form->Label5->isHidden());
    s.type("P0100");  // short again: back to one line
    EXPECT_EQ(twips(s.form->Label2->height()), 345);
}

TEST(CodeSearchWindow, InGlossaryModeTheDefinitionLabelsShowTheirWholeText)
{
    // About 480 characters of words: more lines at the labels' fixed width than the five
    // that code mode's height rule gives at most.
    std::string longText;
    while (longText.size() < 470)
        longText += "the quick sensor reports a plausible signal ";
    PlainSources sources = searchSources();
    sources.glossary[101] = {"ABS pump", longText, "t"};
    DataFolder folder(sources);
    Searching s(folder);
    const int width = s.form->Label2->width();
    const auto wholeTextShown = [](const QLabel* label) {
        return label->height() >= label->heightForWidth(label->width());
    };

    s.form->Glossary_Click();
    s.type("abs");  // the long text is the entry after the found one
    EXPECT_EQ(s.form->Label4->text().toStdString(), longText);
    EXPECT_TRUE(wholeTextShown(s.form->Label4)) << s.form->Label4->height();
    EXPECT_GT(twips(s.form->Label4->height()), 1725);
    EXPECT_EQ(twips(s.form->Label2->height()), 345);  // a short text keeps the one line
    s.type("abs p");
    EXPECT_EQ(s.form->Label2->text().toStdString(), longText);
    EXPECT_TRUE(wholeTextShown(s.form->Label2)) << s.form->Label2->height();
    EXPECT_EQ(twips(s.form->Label4->height()), 345);  // "Term 103"
    EXPECT_EQ(s.form->Label2->width(), width);  // grown downward only
    EXPECT_TRUE(s.form->Label2->wordWrap());
    s.type("T0001");
    EXPECT_EQ(twips(s.form->Label2->height()), 345);

    // Back in code mode the height rule sets the height again.
    s.form->Link_Click();
    s.type("U");
    EXPECT_EQ(twips(s.form->Label2->height()), 690);
}

TEST(CodeSearchWindow, AfterTheGlossaryTheBoxSearchesTermsUntilAReadOrAMakeChoice)
{
    DataFolder folder(searchSources());
    Searching s(folder);
    s.form->Glossary_Click();
    const int heightBefore = s.form->Label2->height();
    s.type("abs");
    EXPECT_FALSE(s.form->TXTGlossary->isHidden());
    EXPECT_TRUE(s.form->FlexList1->isHidden());
    EXPECT_EQ(s.labels(), (QStringList{"ABS", "Anti-lock brake system", "T0102", "Term 102"}));
    EXPECT_EQ(s.form->FlexList1->Row(), 101);
    EXPECT_EQ(s.form->FlexList1->TopRow(), 101);
    EXPECT_EQ(s.form->FlexList1->ColSel(), 2);
    EXPECT_EQ(s.form->Label2->height(), heightBefore);  // no height rule for terms
    s.type("TERM");  // the heading row is never found
    EXPECT_EQ(s.form->Label1->text(), "? ? ? ?");
    s.type("T0832");  // the last row has no next entry
    EXPECT_EQ(s.labels(), (QStringList{"T0832", "Term 832", "", ""}));

    s.form->Vehicle->setCurrentText("audi");
    s.form->Vehicle_Click();
    s.type("P1136");
    EXPECT_EQ(s.form->Label1->text(), "P1136");
    EXPECT_TRUE(s.form->TXTGlossary->isHidden());

    s.form->Glossary_Click();
    s.form->Link_Click();
    s.type("abs");
    EXPECT_EQ(s.form->Label1->text(), "? ? ? ?");  // codes again
}

}  // namespace
}  // namespace vx414
