// The motion a record asks of a shaker table: velocity and displacement by
// the trapezoid rule from rest, their figures in physical units, and the
// margins to the shaker's stroke and velocity limits.
#pragma once

#include <cstddef>
#include <limits>
#include <optional>
#include <span>
#include <string>

#include "analysis/record.h"

namespace korvex {

// Signed peaks are the first sample of largest magnitude, as for the
// amplitude. Velocities in amplitude units x s, displacements in amplitude
// units x s^2, until converted with a MotionScale. A NaN acceleration makes
// every figure NaN (the sums stay NaN once they are); so do no samples.
struct MotionFigures {
    static constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
    double peakVelocity = kNone;
    double finalVelocity = kNone;
    double peakDisplacement = kNone;
    double finalDisplacement = kNone;
    double displacementPeakToPeak = kNone;  // largest minus smallest, the start's 0 included
};

// velocity[0] = displacement[0] = 0, and for each interval, in this order:
//   v[i+1] = v[i] + (a[i] + a[i+1]) / 2 * dt
//   x[i+1] = x[i] + (v[i] + v[i+1]) / 2 * dt
// Both outputs hold at least accel.size() values.
void integrateMotion(std::span<const double> accel, double intervalS, std::span<double> velocity,
                     std::span<double> displacement);

// Figures of integrated arrays (of equal length).
MotionFigures motionFigures(std::span<const double> velocity, std::span<const double> displacement);

// The same figures as integrating into arrays and measuring them, in one
// pass and without the arrays.
MotionFigures computeMotion(std::span<const double> accel, double intervalS);

// m/s^2 in one g: the standard acceleration of gravity, a defined value.
inline constexpr double kStandardGravity = 9.80665;

// Units the amplitude may be in, for physical velocity and displacement.
enum class AccelerationUnit { G, MetersPerSecond2 };

// Factors from amplitude units x s and x s^2 to the table's and figures'
// units: m/s and mm with a physical unit, 1 and 1 without.
struct MotionScale {
    double velocity = 1.0;
    double displacement = 1.0;
};
MotionScale motionScale(std::optional<AccelerationUnit> unit);

// Every figure times its factor.
MotionFigures scaleMotion(const MotionFigures& figures, const MotionScale& scale);

// What a shaker can do. Infinity means no limit; limits are positive.
struct ShakerLimits {
    double maxStrokeMm = std::numeric_limits<double>::infinity();  // peak to peak
    double maxVelocityMps = std::numeric_limits<double>::infinity();
};

struct ShakerCheck {
    double strokeMm = 0.0;           // displacement peak to peak
    double velocityMps = 0.0;        // magnitude of the peak velocity
    double strokeMarginMm = 0.0;     // limit minus stroke: negative beyond the limit
    double velocityMarginMps = 0.0;  // limit minus velocity
    bool strokeExceeded = false;     // also when the stroke is NaN
    bool velocityExceeded = false;
    bool withinLimits() const { return !strokeExceeded && !velocityExceeded; }
};

// `figures` in amplitude units, as computeMotion gives them.
ShakerCheck checkShakerLimits(const MotionFigures& figures, AccelerationUnit unit,
                              const ShakerLimits& limits);

// The table's lines: "time acceleration velocity displacement\n", each the
// shortest text that reads back as the same double (std::to_chars), one
// blank between; velocity and displacement times the scale's factors.
inline constexpr std::size_t kMotionNumberMaxSize = 24;  // -2.2250738585072014e-308
inline constexpr std::size_t kMotionLineMaxSize = 4 * kMotionNumberMaxSize + 4;

// Lines for samples [first, end) into out, which holds
// (end - first) x kMotionLineMaxSize bytes; returns the bytes written.
std::size_t formatMotionLines(char* out, const RecordView& record, std::span<const double> velocity,
                              std::span<const double> displacement, const MotionScale& scale,
                              std::size_t first, std::size_t end);

// Comment lines naming the columns and their units.
std::string motionTableHeader(std::optional<AccelerationUnit> unit);

}  // namespace korvex
