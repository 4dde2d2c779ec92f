// Velocity and displacement from rest under one another, each a TraceChart,
// for the pulse and for a record alike: in SI units when the amplitude's unit
// is known, with the shaker's limits drawn as levels.
#pragma once

#include <QWidget>

#include <optional>
#include <span>
#include <vector>

#include "analysis/motion.h"
#include "plot/plot_text.h"

class QBoxLayout;

namespace korvex {

class TraceChart;

class MotionCharts : public QWidget {
    Q_OBJECT

  public:
    explicit MotionCharts(QWidget* parent = nullptr);

    TraceChart* velocity() const { return m_velocity; }
    TraceChart* displacement() const { return m_displacement; }

    // Integrates `accel` (samples at times `t`, seconds, every `intervalS`)
    // from rest and draws both; `t` must stay as it is until the next call.
    void draw(std::span<const double> t, std::span<const double> accel, double intervalS,
              std::optional<AccelerationUnit> unit, const ShakerLimits& limits,
              const TimeUnitText& time);
    void clear();
    void setOpacity(double opacity);

  protected:
    // Side by side in a wide pane, one over the other in a tall one, so
    // that each keeps a plot tall enough to read.
    void resizeEvent(QResizeEvent* event) override;

  private:
    TraceChart* m_velocity = nullptr;
    TraceChart* m_displacement = nullptr;
    QBoxLayout* m_layout = nullptr;
    std::vector<double> m_v, m_x;  // in the charts' units
};

}  // namespace korvex
