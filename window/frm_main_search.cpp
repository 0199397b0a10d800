// The code search: every change of the CODESearch text shows the first matching code (or,
// after the glossary has been opened, glossary term) and the entry after it.
#include "window/frm_main.h"

#include "window/controls/units.h"
#include "window/logic/code_search.h"

#include <algorithm>

namespace vx414 {

namespace {

// The definition labels' height as designed: one line.
constexpr int kDefinitionLineTwips = 345;

constexpr char16_t asciiLower(char16_t c)
{
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + (u'a' - u'A')) : c;
}

// QString's case-insensitive startsWith, answered on the spot while only ASCII characters
// are compared (there only A-Z fold, to a-z); where a character outside ASCII decides, Qt's
// full case folding does. A keystroke runs this over thousands of rows.
bool startsWithIgnoringCase(const QString& cell, const QString& text)
{
    if (cell.size() < text.size())
        return false;
    const QChar* c = cell.constData();
    const QChar* t = text.constData();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t a = c[i].unicode();
        const char16_t b = t[i].unicode();
        if (a == b)
            continue;
        if (a >= 0x80 || b >= 0x80)
            return cell.startsWith(text, Qt::CaseInsensitive);
        if (asciiLower(a) != asciiLower(b))
            return false;
    }
    return true;
}

}  // namespace

void frmMain::CODESearch_Change()
{
    awaitData();
    TXTGlossary->hide();
    flexDemo->hide();
    FlexList->hide();
    FlexList1->hide();
    for (QLabel* label : {Label1, Label2, Label3, Label4}) {
        label->show();
        label->setText(QString());
    }
    const bool codeMode = ReadingMode == 1 || !LabelVS[0]->isHidden();
    if (!codeMode)
        TXTGlossary->show();
    showEntries(codeMode);
    if (!codeMode) {
        // The definition labels grow downward to show their whole text; the height rule
        // belongs to code mode only.
        fitWrappedLabel(Label2);
        fitWrappedLabel(Label4);
    }
}

void frmMain::showEntries(bool codeMode)
{
    const QString text = CODESearch->text();
    if (text.isEmpty())
        return;

    FlexGrid& grid = codeMode ? *flexDemo : *FlexList1;
    const int textColumn = 1;
    const int found = firstMatchingRow(grid.Rows(), [&](int row) {
        return startsWithIgnoringCase(grid.TextMatrix(row, textColumn), text);
    });
    if (found < 0) {
        Label1->setText(QStringLiteral("? ? ? ?"));
        Label2->setText(QStringLiteral("No definition  !"));
        // A maker's own code that the make chosen has no texts for (or no make is chosen):
        // said under it, so that it is not taken for an unknown code.
        if (codeMode) {
            // A beginning stands for the codes it begins ("P1" for P1xxx); "P3" alone does
            // not say whose (P30 to P33 are the makers', P34 on the standard's).
            const QString code = text.left(5);
            const bool decides = code.size() >= 3 || (code.size() == 2 && code[1] != QLatin1Char('3'));
            Label4->setText(decides ? missingMeaning(code.leftJustified(5, QLatin1Char('0'))) : QString());
            if (!Label4->text().isEmpty())
                fitDefinitionLabel(Label4);
        }
        platform_.beep.beep();
        return;
    }

    if (!codeMode) {
        FlexList1->SetRow(found);
        FlexList1->SetCol(1);
        FlexList1->SetRowSel(found);
        FlexList1->SetColSel(FlexList1->Cols() - 1);
        FlexList1->SetTopRow(found);
        Label1->setText(FlexList1->TextMatrix(found, 1));
        Label2->setText(FlexList1->TextMatrix(found, 2));
        if (found + 1 < FlexList1->Rows()) {
            Label3->setText(FlexList1->TextMatrix(found + 1, 1));
            Label4->setText(FlexList1->TextMatrix(found + 1, 2));
        }
        return;
    }

    // The found code's one meaning: the row a read takes it from.
    Label1->setText(flexDemo->TextMatrix(found, 1));
    Label2->setText(flexDemo->TextMatrix(meaningRowOf(flexDemo->TextMatrix(found, 1)), 2));
    fitDefinitionLabel(Label2);
    const int next = nextEntryRow(found, flexDemo->Rows(), GenericCount, [&](int a, int b) {
        return flexDemo->TextMatrix(a, 1).compare(flexDemo->TextMatrix(b, 1), Qt::CaseInsensitive) == 0;
    });
    if (next < 0)
        return;
    Label3->setText(flexDemo->TextMatrix(next, 1));
    Label4->setText(flexDemo->TextMatrix(next, 2));
    fitDefinitionLabel(Label4);
}

void frmMain::fitWrappedLabel(QLabel* label)
{
    // Its fixed width, word-wrapped; never shorter than the one line it was designed with.
    label->resize(label->width(), std::max(pixels(kDefinitionLineTwips), label->heightForWidth(label->width())));
}

void frmMain::fitDefinitionLabel(QLabel* label)
{
    // Label5 measures the text on one line in the definition labels' font.
    Label5->setText(label->text());
    Label5->resize(Label5->fontMetrics().horizontalAdvance(Label5->text()), Label5->height());
    label->resize(label->width(), pixels(definitionLabelHeight(twips(Label5->width()))));
}

}  // namespace vx414
