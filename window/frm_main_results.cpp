// The result table FlexList: one row per code read, with its kind, the make, the code and
// its definition from the definitions table, and the total line below the codes.
#include "window/frm_main.h"

#include "definitions/code_meaning.h"
#include "definitions/code_ranges.h"
#include "definitions/code_search.h"
#include "definitions/make_sections.h"

#include <algorithm>

namespace vx414 {

namespace {
// The table's rows as the reader's reports need them: the header and 99 data rows, which
// hold 98 codes and the total line. A report of more codes (an ELM327 adapter can hand
// over up to MaxLinkReportCodes) gets a table of as many rows as it needs, so that every
// code is shown with the total below it; up to 98 codes nothing changes.
constexpr int kResultRows = 100;

int resultRows(int codeCount)
{
    return codeCount + 2 > kResultRows ? codeCount + 2 : kResultRows;
}
}  // namespace

void frmMain::PrepareResultTable()
{
    const int left = FlexList->Left();
    const int top = FlexList->Top();
    FlexList->Move(500, top, ScaleWidth() - left, ScaleHeight() - top);
    FlexList->show();
    FlexList->SetFocusRect(1);
    FlexList->SetCols(4);
    FlexList->SetFixedCols(0);
    FlexList->SetColWidth(0, 1200);
    FlexList->SetColWidth(1, 1800);
    FlexList->SetColWidth(2, 1200);
    FlexList->SetColWidth(3, OuterWidth());
    FlexList->SetRows(resultRows(CodeCount));
    FlexList->SetTextMatrix(0, 0, QStringLiteral("TYPE"));
    FlexList->SetTextMatrix(0, 1, QStringLiteral("Vehicle"));
    FlexList->SetTextMatrix(0, 2, QStringLiteral("Code"));
    FlexList->SetTextMatrix(0, 3, QStringLiteral("Definition"));
}

void frmMain::ClearResultRows()
{
    for (int row = 1; row < FlexList->Rows(); ++row) {
        FlexList->SetTextMatrix(row, 0, QString());
        FlexList->SetTextMatrix(row, 1, QString());
        FlexList->SetTextMatrix(row, 2, QStringLiteral("*"));
        FlexList->SetTextMatrix(row, 3, QString());
    }
}

void frmMain::FillResultTable(const DecodedCodeList& codes, int count,
                              int firstBlockCount, const QString& firstKind,
                              const QString& secondKind, int permanentCount)
{
    awaitData();
    const QString make = Vehicle->currentText();
    const QString permanentKind = QStringLiteral("Permanent");
    for (int r = 1; r <= count && r < static_cast<int>(codes.size()) && r < FlexList->Rows(); ++r) {
        const QString& code = codes[static_cast<std::size_t>(r)];
        // Every code's row says its kind and the make, whether or not a definition is
        // found: a code the make's table does not hold is still pending or stored. Its
        // Definition cell is empty then, never a definition an earlier make left there.
        FlexList->SetTextMatrix(r, 0, r <= firstBlockCount         ? firstKind
                                      : r > count - permanentCount ? permanentKind
                                                                   : secondKind);
        FlexList->SetTextMatrix(r, 1, make);
        // The last matching row decides: a make's own definition, loaded after the generic
        // ones, wins. Where the file cannot hold one, the cell says why.
        const int d = meaningRowOf(code);
        FlexList->SetTextMatrix(r, 3, d >= 0 ? flexDemo->TextMatrix(d, 2) : missingMeaning(code));
        FlexList->SetTextMatrix(r, 2, code);
    }
}

void frmMain::WriteTotalLine(int count)
{
    FlexList->SetTextMatrix(count + 1, 0, QStringLiteral("Total: ") + QString::number(count));
}

int frmMain::meaningRowOf(const QString& code) const
{
    return meaningRow(flexDemo->Rows(), [&](int row) {
        return flexDemo->TextMatrix(row, 1).compare(code, Qt::CaseInsensitive) == 0;
    });
}

QString frmMain::missingMeaning(const QString& code) const
{
    const QString make = Vehicle->currentText();
    const bool generic = makeSectionFor(make.toStdString()).start == kMakeSections[0].start;
    bool makeHasTexts = false;
    for (int row = std::max(GenericCount, 1); row < flexDemo->Rows() && !makeHasTexts; ++row)
        makeHasTexts = isManufacturerRange(flexDemo->TextMatrix(row, 1).toStdString());
    return QString::fromStdString(vx414::missingMeaningNote(make.toStdString(), generic, makeHasTexts, code.toStdString()));
}

}  // namespace vx414
