// A required shock response spectrum: breakpoints (frequency, level) read
// from a table or an option, log-log interpolated between them, a tolerance
// band in dB, and the judgement of a spectrum against them.
#pragma once

#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/srs.h"

namespace korvex {

// What cannot be used as a target; `where` is "FILE:LINE", or empty when the
// caller names the option itself.
class TargetError : public std::invalid_argument {
  public:
    TargetError(std::string where, const std::string& message)
        : std::invalid_argument(where.empty() ? message : where + ": " + message),
          where_(std::move(where)),
          message_(message) {}
    const std::string& where() const { return where_; }
    const std::string& message() const { return message_; }

  private:
    std::string where_, message_;
};

struct TargetBreakpoint {
    double frequencyHz = 0.0;
    double level = 0.0;  // maximax acceleration, in the drive's own units
};

// Breakpoints with strictly rising, positive frequencies and positive levels.
struct SpectrumTarget {
    std::vector<TargetBreakpoint> points;
    double lowestHz() const { return points.front().frequencyHz; }
    double highestHz() const { return points.back().frequencyHz; }
    // The level at f, straight between breakpoints on log-log axes; f must
    // lie within [lowestHz, highestHz] (with a relative slack of 1e-9).
    double levelAt(double frequencyHz) const;
};

// Two columns, frequency in Hz and level, separated by blanks, a tab, a comma
// or a semicolon; blank lines and lines starting with '#' are skipped.
// `source` names the text in errors ("target.txt" gives "target.txt:3: ...").
SpectrumTarget parseTargetTable(std::string_view text, const std::string& source);

// "f1:A1,f2:A2,...": errors have an empty `where` and count the points.
SpectrumTarget parseTargetList(std::string_view text);

// How far the achieved spectrum may lie below and above the target, in dB,
// both magnitudes (0 or more).
struct DbTolerance {
    double lowDb = 0.0;
    double highDb = 0.0;
};

// "LOW,HIGH" in dB: LOW below, HIGH above; a minus sign on LOW is allowed
// ("-1.5,3" and "1.5,3" are the same band). Errors have an empty `where`.
DbTolerance parseTolerance(std::string_view text);

// The spectrum the target is judged on: maximax acceleration at Q `q`,
// `perOctave` frequencies per octave from the lowest breakpoint to the
// highest. Throws TargetError (empty `where`) for a frequency at or above
// half the sample rate, and SrsSettingError for the other settings.
SrsPlan planTargetSpectrum(const SpectrumTarget& target, double q, int perOctave, double intervalS);

struct TargetPointCheck {
    double frequencyHz = 0.0;
    double target = 0.0;
    double achieved = 0.0;  // maximax
    double errorDb = 0.0;   // 20 log10(achieved / target)
    double marginDb = 0.0;  // to the nearer edge of the band; negative outside
};

struct TargetCheck {
    std::vector<TargetPointCheck> points;
    double worstFrequencyHz = 0.0;  // where the margin is smallest
    double worstMarginDb = 0.0;     // NaN when any point is not a number
    double worstLowDb = 0.0;        // the lowest error (dB, negative below the target)
    double worstHighDb = 0.0;       // the highest error
    bool passed() const { return worstMarginDb >= 0.0; }
};

// Judges computed spectrum points (as computeShockSpectrum gives them for
// the plan) against the target and the band.
TargetCheck judgeTarget(const std::vector<SrsPoint>& points, const SpectrumTarget& target,
                        const DbTolerance& tolerance);

// A record's maximax acceleration spectrum against the target: what
// `check --target` asks. Throws as planTargetSpectrum does.
TargetCheck checkAgainstTarget(std::span<const double> samples, double intervalS,
                               const SpectrumTarget& target, const DbTolerance& tolerance,
                               double q = 10.0, int perOctave = 12, unsigned threads = 0);

}  // namespace korvex
