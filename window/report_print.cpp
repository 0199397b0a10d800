#include "window/report_print.h"

#include "report/vehicle_format.h"

#include <QAbstractTextDocumentLayout>
#include <QColor>
#include <QFont>
#include <QPageRanges>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

namespace vx414 {

namespace {

// The page a workshop hands to the customer: the title says what it is, not which tool made it.
const QString kReportTitle = QStringLiteral("Trouble code report");
const QString kGlossaryTitle = QStringLiteral("VX-414 glossary");
constexpr qreal kBodyPoints = 10;
constexpr qreal kTitlePoints = 16;
constexpr qreal kFooterPoints = 8;
constexpr qreal kFooterHeightPoints = 22;  // the strip at the foot of a page for its number

// Line breaks of any kind become paragraph breaks inside a cell.
QString cellText(const std::string& text)
{
    QString s = QString::fromStdString(text);
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return s;
}

QFont printFont(qreal points)
{
    // Arial where it is installed; its metric twin (Liberation Sans) or another sans serif
    // elsewhere.
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    return font;
}

// A document laid out for the device: fonts in points; margins, borders and padding in
// pixels of 1/96 inch, which the layout scales to the device (unit = such pixels per point).
struct PrintDocument {
    explicit PrintDocument(QPagedPaintDevice& device)
        : unit(96.0 / 72.0), doc(std::make_unique<QTextDocument>()), cursor(doc.get())
    {
        doc->documentLayout()->setPaintDevice(&device);
        doc->setDefaultFont(printFont(kBodyPoints));
        doc->setDocumentMargin(0);
    }

    void paragraph(const QString& text, qreal points, bool bold, qreal spaceAfterPoints)
    {
        QTextBlockFormat block;
        block.setBottomMargin(spaceAfterPoints * unit);
        QTextCharFormat chars;
        chars.setFontPointSize(points);
        chars.setFontWeight(bold ? QFont::Bold : QFont::Normal);
        // The document's first block, and the one after a table, are empty and waiting.
        if (emptyBlockWaiting) {
            cursor.setBlockFormat(block);
            emptyBlockWaiting = false;
        } else {
            cursor.insertBlock(block, chars);
        }
        cursor.insertText(text, chars);
    }

    // A table with a heading row repeated on every page; widths in percent.
    void table(const QStringList& headings, const std::vector<int>& widths,
               const std::vector<QStringList>& rows)
    {
        // No frame and no column lines: a rule under the heading and a light one under
        // every row guide the eye along a wrapped definition.
        QTextTableFormat format;
        format.setHeaderRowCount(1);
        format.setBorder(0);
        format.setBorderCollapse(true);
        format.setCellSpacing(0);
        format.setCellPadding(3 * unit);
        format.setTopMargin(4 * unit);
        format.setBottomMargin(8 * unit);
        format.setWidth(QTextLength(QTextLength::PercentageLength, 100));
        QList<QTextLength> constraints;
        for (const int w : widths)
            constraints.append(QTextLength(QTextLength::PercentageLength, w));
        format.setColumnWidthConstraints(constraints);

        const auto rowCount = static_cast<int>(rows.size()) + 1;
        const auto colCount = static_cast<int>(headings.size());
        // One edit for the whole table: laid out once at the end, not again after every
        // cell (the 832 rows of the glossary would take minutes).
        cursor.beginEditBlock();
        QTextTable* t = cursor.insertTable(rowCount, colCount, format);
        QTextCharFormat bold;
        bold.setFontWeight(QFont::Bold);
        QTextTableCellFormat headingCell;
        headingCell.setBackground(QColor(0xE6, 0xE6, 0xE6));
        headingCell.setBottomBorder(1 * unit);
        headingCell.setBottomBorderStyle(QTextFrameFormat::BorderStyle_Solid);
        headingCell.setBottomBorderBrush(QColor(0x40, 0x40, 0x40));
        QTextTableCellFormat rowCell;
        rowCell.setBottomBorder(0.5 * unit);
        rowCell.setBottomBorderStyle(QTextFrameFormat::BorderStyle_Solid);
        rowCell.setBottomBorderBrush(QColor(0xB0, 0xB0, 0xB0));
        for (int c = 0; c < colCount; ++c) {
            QTextTableCell cell = t->cellAt(0, c);
            cell.setFormat(headingCell);
            cell.firstCursorPosition().insertText(headings[c], bold);
        }
        for (int r = 1; r < rowCount; ++r) {
            const QStringList& texts = rows[static_cast<std::size_t>(r - 1)];
            for (int c = 0; c < colCount; ++c) {
                QTextTableCell cell = t->cellAt(r, c);
                cell.setFormat(rowCell);
                if (c < texts.size())
                    cell.firstCursorPosition().insertText(texts[c]);
            }
        }
        cursor.endEditBlock();
        cursor.movePosition(QTextCursor::End);
        emptyBlockWaiting = true;
    }

    qreal unit;
    std::unique_ptr<QTextDocument> doc;
    QTextCursor cursor;
    bool emptyBlockWaiting = true;
};

// Paints the document page by page, within the page ranges the printer was given, each
// page with the title and "Page n of N" at its foot.
bool paintPages(QTextDocument& doc, QPagedPaintDevice& device, const QString& title)
{
    const qreal unit = device.logicalDpiY() / 72.0;
    const QRect area = device.pageLayout().paintRectPixels(device.logicalDpiX());
    const qreal footer = kFooterHeightPoints * unit;
    const QSizeF body(area.width(), area.height() - footer);
    if (body.width() <= 0 || body.height() <= 0)
        return false;
    doc.setPageSize(body);
    const int pages = doc.pageCount();
    const QPageRanges ranges = device.pageRanges();

    QPainter painter;
    if (!painter.begin(&device))
        return false;
    bool first = true;
    for (int page = 0; page < pages; ++page) {
        if (!ranges.isEmpty() && !ranges.contains(page + 1))
            continue;
        if (!first && !device.newPage())
            return false;
        first = false;

        painter.save();
        const QRectF clip(0, page * body.height(), body.width(), body.height());
        painter.translate(0, -clip.top());
        painter.setClipRect(clip);
        QAbstractTextDocumentLayout::PaintContext context;
        context.clip = clip;
        context.palette.setColor(QPalette::Text, Qt::black);
        doc.documentLayout()->draw(&painter, context);
        painter.restore();

        const qreal ruleY = body.height() + 8 * unit;
        painter.setPen(QPen(QColor(0x80, 0x80, 0x80), 0.5 * unit));
        painter.drawLine(QPointF(0, ruleY), QPointF(body.width(), ruleY));
        painter.setPen(Qt::black);
        painter.setFont(printFont(kFooterPoints));
        const QRectF strip(0, ruleY + 2 * unit, body.width(), footer - 10 * unit);
        painter.drawText(strip, Qt::AlignLeft | Qt::AlignVCenter, title);
        painter.drawText(strip, Qt::AlignRight | Qt::AlignVCenter,
                         QStringLiteral("Page %1 of %2").arg(page + 1).arg(pages));
    }
    return painter.end();
}

}  // namespace

bool printReport(const ReadReport& report, QPagedPaintDevice& device)
{
    const VehicleInfo& vehicle = report.vehicle;
    PrintDocument d(device);
    d.paragraph(kReportTitle, kTitlePoints, true, report.fromEmulator() ? 2 : 8);
    // A demo's page must not be handed over as a car's: said under the title and at every foot.
    if (report.fromEmulator())
        d.paragraph(QString::fromUtf8(kDemoNotice.data(), static_cast<qsizetype>(kDemoNotice.size())), kBodyPoints + 2,
                    true, 8);
    d.paragraph(QStringLiteral("Read on: ") + QString::fromStdString(readableTime(report.time)), kBodyPoints, false, 2);
    // The lines about the car, each with its bold or not; the last one leaves room above the codes.
    std::vector<std::pair<QString, bool>> lines;
    const std::string vin = vinText(vehicle);
    if (!vin.empty())
        lines.emplace_back(QStringLiteral("VIN: ") + cellText(vin), false);
    QString make = QStringLiteral("Vehicle: ") + QString::fromStdString(report.make);
    if (vehicle.modelYear > 0)
        make += QStringLiteral(", model year ") + QString::fromStdString(modelYearText(vehicle));
    else if (!vehicle.vin.empty())
        make += QStringLiteral(", model year unknown");
    lines.emplace_back(make, false);
    if (vehicle.mil)
        lines.emplace_back(QStringLiteral("MIL (check-engine light): ") + QString::fromStdString(milText(vehicle)), false);
    // What the read could not learn comes before the codes, so that a missing part never
    // reads as "none".
    for (const ItemNotRead& entry : vehicle.notRead) {
        lines.emplace_back(QStringLiteral("%1: %2").arg(cellText(std::string(vehicleItemTitle(entry.item))),
                                                        cellText(notReadText(entry))),
                           true);
    }
    for (std::size_t i = 0; i < lines.size(); ++i)
        d.paragraph(lines[i].first, kBodyPoints, lines[i].second, i + 1 < lines.size() ? 2 : 6);
    if (report.codes.empty()) {
        d.paragraph(QStringLiteral("No codes"), kBodyPoints, true, 6);
    } else {
        const bool units = std::any_of(report.codes.begin(), report.codes.end(),
                                       [](const ReportCode& c) { return !c.unit.empty(); });
        std::vector<QStringList> rows;
        rows.reserve(report.codes.size());
        for (const ReportCode& c : report.codes) {
            rows.push_back(units ? QStringList{cellText(c.kind), cellText(c.code), cellText(c.unit), cellText(c.definition)}
                                 : QStringList{cellText(c.kind), cellText(c.code), cellText(c.definition)});
        }
        if (units) {
            d.table({QStringLiteral("Type"), QStringLiteral("Code"), QStringLiteral("Unit"), QStringLiteral("Definition")},
                    {13, 10, 14, 63}, rows);
        } else {
            d.table({QStringLiteral("Type"), QStringLiteral("Code"), QStringLiteral("Definition")}, {13, 11, 76}, rows);
        }
    }
    d.paragraph(QStringLiteral("Total: ") + QString::number(report.total()), kBodyPoints, true, 10);

    if (vehicle.readiness.empty()) {
        if (const ItemNotRead* entry = notReadEntry(vehicle, VehicleItem::Readiness))
            d.paragraph(QStringLiteral("Readiness: ") + cellText(notReadText(*entry)), kBodyPoints + 2, true, 10);
    } else {
        d.paragraph(QStringLiteral("Readiness"), kBodyPoints + 2, true, 2);
        std::vector<QStringList> rows;
        for (const MonitorStatus& m : vehicle.readiness)
            rows.push_back({cellText(m.monitor), cellText(std::string(monitorStateText(m.state)))});
        d.table({QStringLiteral("Monitor"), QStringLiteral("Status")}, {60, 40}, rows);
    }
    if (!vehicle.inspection.empty()) {
        d.paragraph(QStringLiteral("Inspection: ") + cellText(vehicle.inspection), kBodyPoints, false, 2);
        d.paragraph(cellText(std::string(InspectionGuideNote)), kBodyPoints - 1, false, 10);
    }
    if (!vehicle.freezeFrame) {
        if (const ItemNotRead* entry = notReadEntry(vehicle, VehicleItem::FreezeFrame))
            d.paragraph(QStringLiteral("Freeze frame: ") + cellText(notReadText(*entry)), kBodyPoints + 2, true, 10);
    } else {
        const FreezeFrame& frame = *vehicle.freezeFrame;
        d.paragraph(frame.code ? QStringLiteral("Freeze frame (set by %1)").arg(cellText(frame.code->toString()))
                               : QStringLiteral("Freeze frame"),
                    kBodyPoints + 2, true, 2);
        std::vector<QStringList> rows;
        for (const FreezeValue& v : frame.values)
            rows.push_back({cellText(v.name), cellText(quantityText(v.value)), cellText(v.unit)});
        d.table({QStringLiteral("Value"), QStringLiteral("Reading"), QStringLiteral("Unit")}, {60, 20, 20}, rows);
    }
    return paintPages(*d.doc, device,
                      report.fromEmulator() ? kReportTitle + QStringLiteral(" \u2014 DEMO, not a car") : kReportTitle);
}

bool printGlossary(std::span<const GlossaryText> entries, QPagedPaintDevice& device)
{
    PrintDocument d(device);
    d.paragraph(kGlossaryTitle, kTitlePoints, true, 8);
    d.paragraph(QStringLiteral("%1 terms").arg(entries.size()), kBodyPoints, false, 6);
    std::vector<QStringList> rows;
    rows.reserve(entries.size());
    for (const GlossaryText& e : entries)
        rows.push_back({cellText(e.term), cellText(e.definition)});
    d.table({QStringLiteral("Term"), QStringLiteral("Definition")}, {28, 72}, rows);
    return paintPages(*d.doc, device, kGlossaryTitle);
}

}  // namespace vx414
