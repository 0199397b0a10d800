// The command-line reader's definitions table against the window's, on the shipped data
// file and on a small one whose makes redefine generic codes: the same rows, the same
// definition for a code read, the same entries found by the code search, make by make.
#include "definitions/codepage.h"
#include "definitions/data_file.h"
#include "definitions/definitions_table.h"
#include "window/data_text.h"
#include "window/testing/data_files.h"
#include "window/testing/form_fixture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

namespace vx414 {
namespace {

QString buildFolder()
{
    const char* folder = std::getenv("VX414_BUILD_DIR");
    return QString::fromLocal8Bit(folder != nullptr ? folder : ".");
}

QString textOf(const DefinitionsTable& table, int row, bool definition)
{
    if (row < 0)
        return QString();
    const DefinitionRow& entry = table.rows()[static_cast<std::size_t>(row)];
    return fromDataBytes(definition ? entry.definition : entry.code);
}

// Codes listed twice, makes that redefine generic codes, letter case and a byte above 0x7F.
PlainSources overlappingSources()
{
    PlainSources s;
    s.glossary = testing::sampleGlossary();
    s.sections["generic"] = {{"P0100", "Mass air flow circuit", "t"},
                             {"P0100", "Mass air flow circuit (second text)", "t"},
                             {"P0101", "Mass air flow range", "t"},
                             {"p0102", "Mass air flow low", "t"},
                             {"\xC9TAT", "Accented", "t"},
                             {"U0100", "Lost communication", "t"}};
    s.sections["audi"] = {{"P0100", "Audi: air mass meter", "t"}, {"P0101", "Audi: range", "t"},
                          {"P0101", "Audi: range (second text)", "t"}, {"P1136", "Fuel trim lean", "t"}};
    s.sections["mmc"] = {{"P0102", "MMC: low", "t"}, {"u0100", "MMC: lost communication", "t"}};
    return s;
}

void expectAgreement(const QString& folder, std::initializer_list<const char*> makes)
{
    testing::FormFixture fixture(folder);
    frmMain& form = *fixture.form;
    form.Form_Load();
    ASSERT_EQ(fixture.box.shown.size(), 0u) << "the data file did not load";
    DataFile file;
    ASSERT_TRUE(file.open(dataFilePath(folder.toStdString())).ok());

    for (const char* make : makes) {
        SCOPED_TRACE(make);
        form.Vehicle->setCurrentText(QString::fromLatin1(make));
        form.Vehicle_Click();
        DefinitionsTable table;
        ASSERT_TRUE(table.load(file, *findMake(make)).ok());

        // The rows.
        ASSERT_EQ(table.rowCount(), form.flexDemo->Rows());
        EXPECT_EQ(table.genericCount(), form.GenericCount);
        for (int row = 0; row < table.rowCount(); ++row) {
            ASSERT_EQ(textOf(table, row, false), form.flexDemo->TextMatrix(row, 1)) << row;
            ASSERT_EQ(textOf(table, row, true), form.flexDemo->TextMatrix(row, 2)) << row;
        }

        // A read of the make's own codes, a few generic ones and codes in no row, filled by
        // the window; the table's definition for each.
        std::vector<QString> codes;
        const auto take = [&](int row) {
            if (!table.rows()[static_cast<std::size_t>(row)].code.empty())  // fillers hold no code
                codes.push_back(textOf(table, row, false));
        };
        for (int row = table.genericCount(); row < table.rowCount() && codes.size() < 150; row += 7)
            take(row);
        for (int row = 1; row < table.genericCount() && codes.size() < 220; row += 97)
            take(row);
        for (const char* code : {"P3FFF", "U3FFF", "B0000", "P0100", "P0101", "P0102", "U0100"})
            codes.emplace_back(QString::fromLatin1(code));
        for (std::size_t start = 0; start < codes.size(); start += 90) {
            const int count = static_cast<int>(std::min<std::size_t>(90, codes.size() - start));
            form.CodeCount = count;
            for (int r = 1; r <= count; ++r)
                form.DecodedCodes[static_cast<std::size_t>(r)] = codes[start + static_cast<std::size_t>(r - 1)].toUpper();
            form.PrepareResultTable();
            form.ClearResultRows();
            form.FillResultTable(form.DecodedCodes, count, count, QStringLiteral("Pending"), QStringLiteral("Stored"));
            for (int r = 1; r <= count; ++r) {
                const std::string code = form.DecodedCodes[static_cast<std::size_t>(r)].toStdString();
                EXPECT_EQ(textOf(table, table.rowForCode(code), true), form.FlexList->TextMatrix(r, 3)) << code;
            }
        }

        // The code search, for every beginning of one to three characters of a code held.
        std::set<std::string> beginnings;
        for (const DefinitionRow& row : table.rows())
            for (std::size_t n = 1; n <= 3 && n <= row.code.size(); ++n)
                beginnings.insert(row.code.substr(0, n));
        beginnings.insert("P3F");  // none
        for (const std::string& text : beginnings) {
            form.CODESearch->setText(fromDataBytes(text));
            const CodeSearchHit hit = table.search(text);
            const QString found = hit.found < 0 ? QStringLiteral("? ? ? ?") : textOf(table, hit.found, false);
            ASSERT_EQ(found, form.Label1->text()) << text;
            EXPECT_EQ(textOf(table, hit.next, false), form.Label3->text()) << text;
            EXPECT_EQ(textOf(table, hit.next, true), form.Label4->text()) << text;
        }
    }
}

TEST(DefinitionsTableAgreement, TheWindowAndTheTableShowTheSameOnTheShippedFile)
{
    expectAgreement(buildFolder(), {"generic", "audi", "ford", "smart smart city", "volvo"});
}

TEST(DefinitionsTableAgreement, TheWindowAndTheTableShowTheSameWhereMakesRedefineCodes)
{
    const testing::DataFolder folder(overlappingSources());
    expectAgreement(folder.path(), {"generic", "audi", "mmc", "fortwo", "bmw", "generic"});
}

}  // namespace
}  // namespace vx414
