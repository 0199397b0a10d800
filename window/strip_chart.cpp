#include "window/strip_chart.h"

#include "report/unit_system.h"

#include <QPainter>

#include <algorithm>

namespace vx414 {

StripChart::StripChart(QWidget* parent) : QWidget(parent)
{
    setMinimumSize(320, 160);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QSize StripChart::sizeHint() const
{
    return {560, 420};
}

void StripChart::setBands(const std::vector<Band>& bands)
{
    std::vector<Trace> traces;
    for (const Band& band : bands) {
        Trace trace{band.title, band.unit, band.decimals, {}};
        for (Trace& old : traces_) {
            if (old.title == band.title)
                trace.points = std::move(old.points);
        }
        traces.push_back(std::move(trace));
    }
    traces_ = std::move(traces);
    update();
}

void StripChart::setUnits(UnitSystem units)
{
    units_ = units;
    update();
}

void StripChart::add(std::size_t trace, double seconds, double value)
{
    if (trace >= traces_.size())
        return;
    newest_ = std::max(newest_, seconds);
    auto& points = traces_[trace].points;
    points.emplace_back(seconds, value);
    for (Trace& t : traces_) {
        while (!t.points.empty() && t.points.front().first < newest_ - SpanSeconds)
            t.points.pop_front();
    }
    update();
}

void StripChart::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    if (traces_.empty()) {
        painter.setPen(palette().color(QPalette::PlaceholderText));
        painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("Tick values in the list to draw them here."));
        return;
    }
    const int bandHeight = height() / static_cast<int>(traces_.size());
    const QFontMetrics metrics = painter.fontMetrics();
    const QColor line = palette().color(QPalette::Highlight);
    for (std::size_t i = 0; i < traces_.size(); ++i) {
        const Trace& trace = traces_[i];
        const QRect band(0, static_cast<int>(i) * bandHeight, width(), bandHeight);
        painter.setPen(palette().color(QPalette::Mid));
        painter.drawRect(band.adjusted(0, 0, -1, -1));
        const auto shown = [&](double value) { return inUnits(value, trace.unit, units_); };
        const Quantity scale = shown(0);
        const int decimals = trace.decimals + scale.extraDecimals;
        const auto text = [&](double value) { return QString::fromStdString(numberText(shown(value).value, decimals)); };
        QString heading = trace.title;
        if (!trace.points.empty())
            heading += QStringLiteral("  ") + text(trace.points.back().second) +
                       (scale.unit.empty() ? QString() : QStringLiteral(" ") + QString::fromUtf8(scale.unit.data(), static_cast<qsizetype>(scale.unit.size())));
        painter.setPen(palette().color(QPalette::Text));
        painter.drawText(band.adjusted(6, 2, -6, 0), Qt::AlignLeft | Qt::AlignTop, heading);
        const QRectF plot = QRectF(band).adjusted(6, metrics.height() + 4, -6, -4);
        if (trace.points.empty() || plot.height() < 4)
            continue;
        auto [low, high] = std::minmax_element(trace.points.begin(), trace.points.end(),
                                               [](const auto& a, const auto& b) { return a.second < b.second; });
        double bottom = low->second;
        double top = high->second;
        if (top - bottom < 1e-9) {
            bottom -= 1;
            top += 1;
        }
        // The scale's ends, written at the right edge (conversions are linear: the
        // shape stays, only the labels change).
        painter.setPen(palette().color(QPalette::PlaceholderText));
        painter.drawText(plot, Qt::AlignRight | Qt::AlignTop, text(top));
        painter.drawText(plot, Qt::AlignRight | Qt::AlignBottom, text(bottom));
        // A plain polyline, not antialiased: a band of a minute at ten rounds a second is
        // 600 points, which an antialiased path takes several times as long to draw.
        points_.clear();
        for (const auto& [seconds, value] : trace.points) {
            points_.emplace_back(plot.right() - (newest_ - seconds) / SpanSeconds * plot.width(),
                                 plot.bottom() - (value - bottom) / (top - bottom) * plot.height());
        }
        painter.setPen(QPen(line, 0));
        painter.drawPolyline(points_.data(), static_cast<int>(points_.size()));
    }
}

}  // namespace vx414
