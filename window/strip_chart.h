// Strip charts of the values followed, over the last 60 seconds, one band each, drawn with
// QPainter: the newest value at the right edge, each band scaled to what it shows.
#pragma once

#include "report/unit_system.h"

#include <QPointF>
#include <QString>
#include <QWidget>

#include <deque>
#include <string>
#include <utility>
#include <vector>

namespace vx414 {

class StripChart final : public QWidget {
    Q_OBJECT
public:
    static constexpr double SpanSeconds = 60.0;

    struct Trace {
        QString title;     // "Engine speed"
        std::string unit;  // the SI unit the points are in ("rpm", "°C")
        int decimals = 0;
        std::deque<std::pair<double, double>> points;  // seconds, value; the last 60 s
    };
    struct Band {
        QString title;
        std::string unit;
        int decimals = 0;
    };

    explicit StripChart(QWidget* parent = nullptr);

    // One band per value followed, in this order; a band already shown keeps its points.
    void setBands(const std::vector<Band>& bands);
    // The units the values are shown in (the points stay in SI units).
    void setUnits(UnitSystem units);
    // A value of band `trace` at `seconds` (since polling started). Points older than the
    // span before the newest are dropped, so memory stays bounded however long it runs.
    void add(std::size_t trace, double seconds, double value);

    const std::vector<Trace>& traces() const { return traces_; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<Trace> traces_;
    UnitSystem units_ = UnitSystem::Metric;
    double newest_ = 0;
    std::vector<QPointF> points_;  // one band's points on the screen, kept between paints
};

}  // namespace vx414
