// The pulse pane's words: the figures under the pulse, the motion's summary,
// the shaker limits it exceeds (korvex-cli's words) and the title of a saved
// plot; times in the form's unit.
#pragma once

#include <QString>

#include <optional>

#include "analysis/motion.h"
#include "analysis/pulse_figures.h"
#include "plot/plot_text.h"
#include "pulse/compensation.h"

namespace korvex {

QString pulseFiguresText(const PulseFigures& f, const PulseParameters& params,
                         const std::optional<CompensationPlan>& compensation,
                         const TimeUnitText& time);

// "Motion: peak velocity ..." in m/s and mm when `si`, else in the
// amplitude's units times seconds.
QString motionSummaryText(const MotionFigures& scaled, bool si);

// One line per limit exceeded, "" within them all.
QString exceededLimitsText(const ShakerCheck& check, const ShakerLimits& limits);

QString pulseTitleText(const PulseParameters& params, const PulseFigures& f,
                       std::optional<double> compensation, const TimeUnitText& time);

}  // namespace korvex
