// The result table's layout, and how a fill looks codes up in the definitions table.
#include "window/controls/units.h"
#include "window/testing/form_fixture.h"

#include <gtest/gtest.h>

namespace vx414 {
namespace {

using testing::FormFixture;

void defineRows(FlexGrid& table, std::initializer_list<std::pair<const char*, const char*>> rows)
{
    table.SetCols(3);
    table.SetRows(static_cast<int>(rows.size()) + 1);
    int r = 1;
    for (const auto& [code, text] : rows) {
        table.SetTextMatrix(r, 1, code);
        table.SetTextMatrix(r, 2, text);
        ++r;
    }
}

TEST(ResultTable, PrepareLaysTheGridOutBelowTheBanner)
{
    FormFixture f;
    frmMain& m = *f.form;
    m.PrepareResultTable();
    FlexGrid& t = *m.FlexList;
    EXPECT_FALSE(t.isHidden());
    // Left 500, top kept, sized to the client area from the left edge it had (480).
    EXPECT_NEAR(t.Left(), 500, 15);
    EXPECT_EQ(t.Top(), 2160);
    EXPECT_NEAR(t.Width(), 12525 - 480, 15);
    EXPECT_NEAR(t.Height(), 8520 - 2160, 15);
    EXPECT_EQ(t.Cols(), 4);
    EXPECT_EQ(t.FixedCols(), 0);
    EXPECT_EQ(t.FixedRows(), 1);
    EXPECT_EQ(t.Rows(), 100);
    EXPECT_EQ(t.ColWidth(0), 1200);
    EXPECT_EQ(t.ColWidth(1), 1800);
    EXPECT_EQ(t.ColWidth(2), 1200);
    EXPECT_NEAR(t.ColWidth(3), m.OuterWidth(), 15);
    EXPECT_EQ(t.TextMatrix(0, 0), "TYPE");
    EXPECT_EQ(t.TextMatrix(0, 3), "Definition");
    // Laid out again, the width now comes from the left edge 500.
    m.PrepareResultTable();
    EXPECT_NEAR(t.Width(), 12525 - 500, 15);
}

TEST(ResultTable, FillLooksCodesUpAndTheLastMatchDecides)
{
    FormFixture f;
    frmMain& m = *f.form;
    m.Vehicle->addItems({"generic", "audi"});
    m.Vehicle->setCurrentIndex(1);
    defineRows(*m.flexDemo, {{"P0171", "System too lean (generic)"},
                             {"P0420", "Catalyst efficiency below threshold"},
                             {"p0171", "System too lean, bank 1 (make)"}});
    DecodedCodeList codes;
    codes[1] = "P0171";
    codes[2] = "P0420";
    codes[3] = "B1000";
    m.PrepareResultTable();
    m.ClearResultRows();
    m.FillResultTable(codes, 3, 2, "Pending", "Stored");
    m.WriteTotalLine(3);
    FlexGrid& t = *m.FlexList;
    EXPECT_EQ(t.TextMatrix(1, 0), "Pending");
    EXPECT_EQ(t.TextMatrix(1, 1), "audi");
    EXPECT_EQ(t.TextMatrix(1, 2), "P0171");  // the code as decoded, not as the table spells it
    EXPECT_EQ(t.TextMatrix(1, 3), "System too lean, bank 1 (make)");
    EXPECT_EQ(t.TextMatrix(2, 0), "Pending");
    EXPECT_EQ(t.TextMatrix(2, 3), "Catalyst efficiency below threshold");
    // No definition: its kind and the make all the same, and a maker's code of a make with
    // no maker texts in the file says so rather than passing for an unknown code.
    EXPECT_EQ(t.TextMatrix(3, 0), "Stored");
    EXPECT_EQ(t.TextMatrix(3, 1), "audi");
    EXPECT_EQ(t.TextMatrix(3, 2), "B1000");
    EXPECT_EQ(t.TextMatrix(3, 3), "no maker texts for audi in this data file; the code is the maker's own");
    EXPECT_EQ(t.TextMatrix(4, 0), "Total: 3");
    EXPECT_EQ(t.TextMatrix(4, 2), "*");

    // A fill without clearing (another make picked) leaves no row with the make before's
    // definition beside the make now shown.
    m.Vehicle->setCurrentIndex(0);
    defineRows(*m.flexDemo, {{"P0420", "Catalyst below threshold, bank 1"}});
    m.PrepareResultTable();
    m.FillResultTable(codes, 3, 2, "Pending", "Stored");
    EXPECT_EQ(t.TextMatrix(1, 0), "Pending");
    EXPECT_EQ(t.TextMatrix(1, 1), "generic");
    EXPECT_EQ(t.TextMatrix(1, 3), "");
    EXPECT_EQ(t.TextMatrix(2, 1), "generic");
    EXPECT_EQ(t.TextMatrix(2, 3), "Catalyst below threshold, bank 1");
    EXPECT_EQ(t.TextMatrix(4, 0), "Total: 3");
}

TEST(ResultTable, EachRowShowsTheKindOfItsOwnBlock)
{
    // Three codes, every one with a definition, split between the blocks in every way.
    FormFixture f;
    frmMain& m = *f.form;
    m.Vehicle->addItem("generic");
    defineRows(*m.flexDemo, {{"P0171", "System too lean"}, {"P0420", "Catalyst below threshold"},
                             {"U0100", "Lost communication with ECM/PCM A"}});
    DecodedCodeList codes;
    codes[1] = "P0171";
    codes[2] = "P0420";
    codes[3] = "U0100";
    struct Case {
        int firstBlockCount;
        const char* first;
        const char* second;
        std::array<const char*, 3> types;
    };
    const Case cases[] = {
        {2, "Pending", "Stored", {"Pending", "Pending", "Stored"}},
        {1, "Pending", "Stored", {"Pending", "Stored", "Stored"}},
        {0, "Stored", "Pending", {"Pending", "Pending", "Pending"}},
        {3, "Stored", "Pending", {"Stored", "Stored", "Stored"}},
        {2, "Pending", "Pending", {"Pending", "Pending", "Pending"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.firstBlockCount) + " + " + std::to_string(3 - c.firstBlockCount));
        m.PrepareResultTable();
        m.ClearResultRows();
        m.FillResultTable(codes, 3, c.firstBlockCount, c.first, c.second);
        for (int r = 1; r <= 3; ++r) {
            EXPECT_EQ(m.FlexList->TextMatrix(r, 0), c.types[static_cast<std::size_t>(r - 1)]) << "row " << r;
            EXPECT_EQ(m.FlexList->TextMatrix(r, 2), codes[static_cast<std::size_t>(r)]);
            EXPECT_FALSE(m.FlexList->TextMatrix(r, 3).isEmpty());
        }
    }
}

TEST(ResultTable, RowZeroOfTheDefinitionsTableIsNeverMatched)
{
    FormFixture f;
    frmMain& m = *f.form;
    defineRows(*m.flexDemo, {{"P0300", "Misfire"}});
    m.flexDemo->SetTextMatrix(0, 1, "P0100");
    m.flexDemo->SetTextMatrix(0, 2, "heading");
    DecodedCodeList codes;
    codes[1] = "P0100";
    m.PrepareResultTable();
    m.ClearResultRows();
    m.FillResultTable(codes, 1, 1, "Stored", "Stored");
    EXPECT_EQ(m.FlexList->TextMatrix(1, 3), "");
    EXPECT_EQ(m.FlexList->TextMatrix(1, 2), "P0100");
}

}  // namespace
}  // namespace vx414
