#include "window/logic/code_search.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

namespace vx414 {
namespace {

bool startsWithIgnoringCase(const std::string& cell, const std::string& text)
{
    if (cell.size() < text.size())
        return false;
    for (std::size_t k = 0; k < text.size(); ++k)
        if (std::toupper(static_cast<unsigned char>(cell[k])) != std::toupper(static_cast<unsigned char>(text[k])))
            return false;
    return true;
}

struct Table {
    std::vector<std::string> codes;
    int generic;

    int find(const std::string& text) const
    {
        return firstMatchingRow(static_cast<int>(codes.size()),
                                [&](int row) { return startsWithIgnoringCase(codes[static_cast<std::size_t>(row)], text); });
    }
    int next(int found) const
    {
        return nextEntryRow(found, static_cast<int>(codes.size()), generic, [&](int a, int b) {
            return startsWithIgnoringCase(codes[static_cast<std::size_t>(a)], codes[static_cast<std::size_t>(b)]) &&
                   codes[static_cast<std::size_t>(a)].size() == codes[static_cast<std::size_t>(b)].size();
        });
    }
};

TEST(CodeSearch, FindsTheFirstRowInTableOrderAndWhatComesAfterIt)
{
    // Rows 0-5 generic (row 0 a heading), 6-9 a make's.
    const Table t{{"P0100", "", "P0100", "P0101", "P0101", "P0300", "P0100", "P1136", "p1136", "P2000"}, 6};
    struct Case {
        const char* text;
        int found;
        int next;
    };
    const Case cases[] = {
        {"P", 2, 3},         // row 0 is never looked at; row 1's empty code never matches
        {"p01", 2, 3},       // lower case finds upper case
        {"P0101", 3, 5},     // a repeated code: the entry after the repeat
        {"P03", 5, -1},      // the last generic row: nothing from the make's rows
        {"P11", 7, 9},       // repeated without regard to case
        {"P2000", 9, -1},    // the last row
        {"P20001", -1, -1},  // longer than every cell: no match
        {"B", -1, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const int found = t.find(c.text);
        EXPECT_EQ(found, c.found);
        if (found >= 0) {
            EXPECT_EQ(t.next(found), c.next);
        }
    }
    // A code in the generic rows and in the make's rows is found in the generic rows.
    EXPECT_EQ(t.find("P0100"), 2);
    // An empty table finds nothing.
    EXPECT_EQ(Table({}, 0).find("P"), -1);
}

TEST(CodeSearch, LabelHeightGrowsOneLinePer9000Twips)
{
    const std::pair<long long, int> cases[] = {{0, 345},      {9000, 345},   {9001, 690},   {18000, 690},
                                               {18001, 1035}, {27001, 1380}, {36000, 1380}, {36001, 1725},
                                               {1000000, 1725}};
    for (const auto& [width, height] : cases)
        EXPECT_EQ(definitionLabelHeight(width), height) << width;
}

}  // namespace
}  // namespace vx414
