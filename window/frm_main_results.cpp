// The result table FlexList: one row per code read, with its kind, the make, the code and
// its definition from the definitions table, and the total line below the codes.
#include "window/frm_main.h"

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
        FlexList->SetTextMatrix(r, 3, QString());
        // Every matching row is written, so the last one decides: a make's own definition,
        // loaded after the generic ones, wins.
        for (int d = 1; d < flexDemo->Rows(); ++d) {
            if (flexDemo->TextMatrix(d, 1).compare(code, Qt::CaseInsensitive) != 0)
                continue;
            FlexList->SetTextMatrix(r, 3, flexDemo->TextMatrix(d, 2));
        }
        FlexList->SetTextMatrix(r, 2, code);
    }
}

void frmMain::WriteTotalLine(int count)
{
    FlexList->SetTextMatrix(count + 1, 0, QStringLiteral("Total: ") + QString::number(count));
}

}  // namespace vx414
