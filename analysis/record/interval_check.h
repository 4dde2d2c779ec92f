// Start, interval and the step rule of a record with times: every step
// within kIntervalTolerance of (last - first) / (samples - 1), and the
// messages that say which step strays, for every format with a time column.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace korvex {

inline constexpr std::size_t kNoBadStep = static_cast<std::size_t>(-1);

// (last - first) / (samples - 1); not finite where the span overflows.
double intervalOf(std::span<const double> times);

// Whether a step breaks the rule for this interval.
bool strays(double step, double interval);

// The first i whose step from sample i - 1 breaks the rule, or kNoBadStep.
// minStep and maxStep, where known, spare the scan: a rounded subtraction
// keeps the order of the steps, so no step strays further than they do.
std::size_t firstBadStep(std::span<const double> times, double interval, double minStep,
                         double maxStep);

// The first i whose step strays further than the rule allows and `slack`
// more (what the times' printed rounding explains), or kNoBadStep.
std::size_t firstStepBeyond(std::span<const double> times, double interval, double slack);

// Why step i breaks the rule; `before` and `now` are the two times' texts.
std::string badStepReason(double step, double interval, std::string_view before,
                          std::string_view now);

// Times printed to `resolution` seconds (a unit in their last printed
// digit) whose steps vary only by that rounding: the slope of their
// least-squares line, where every time lies within half a unit of it (and
// a tenth of that for the fit's own error), every step is positive and the
// unit is at most a tenth of the slope.
// Returns a negative number where they do not.
double slopeWithinRounding(std::span<const double> times, double resolution);

// The note for people on such a record's interval.
std::string roundedTimesNote(double resolution, double interval);

// Why times whose span overflows a double are refused; `first` and `last`
// are the first and the last time's texts.
std::string spanOverflowReason(std::string_view first, std::string_view last);

}  // namespace korvex
