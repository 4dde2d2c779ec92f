// Judging a record against a nominal pulse: where the pulse lies in the
// record, whether every sample near it stays inside a tolerance band, whether
// the velocity change is close to the pulse's, and (when asked) whether the
// shock response spectrum stays within a range of decibels of the pulse's.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "analysis/record.h"
#include "analysis/srs.h"
#include "pulse/pulse_series.h"

namespace korvex {

// The nominal pulse: A sin(pi s / D) (half-sine) or A s / D (terminal
// sawtooth) for 0 <= s <= D, and 0 elsewhere.
struct CheckPulse {
    PulseType shape = PulseType::HalfSine;
    double amplitude = 0.0;  // A, in the record's units, signed
    double durationS = 0.0;  // D
};

struct SpectrumTolerance {
    double lowDb = 0.0;
    double highDb = 0.0;
};

// The tolerances, as fractions: of |A| for the band, of D for times, of the
// nominal velocity change for the measured one. The defaults are this
// program's own starting values, user settings to be set to what a test
// demands; none is taken from a test standard.
struct CheckSettings {
    double band = 0.2;           // B
    double timeTolerance = 0.1;  // F
    double windowBefore = 0.4;   // W1: monitoring from -W1 D ...
    double windowAfter = 1.5;    // W2: ... to (1 + W2) D after the pulse start
    double velocityTolerance = 0.15;
    double velocityBefore = 0.4;                // V1: integrating from -V1 D ...
    double velocityAfter = 0.1;                 // V2: ... to (1 + V2) D
    std::optional<SpectrumTolerance> spectrum;  // no spectrum check without it
    SrsSettings srs;                            // how the spectra are computed
};

// What a check cannot work with: the record or the input that is wrong.
enum class CheckField {
    Record,
    Shape,
    Amplitude,
    Duration,
    Band,
    TimeTolerance,
    WindowBefore,
    WindowAfter,
    VelocityTolerance,
    VelocityBefore,
    VelocityAfter,
    Spectrum
};

class CheckError : public std::invalid_argument {
  public:
    CheckError(CheckField field, const std::string& message)
        : std::invalid_argument(message), field_(field) {}
    CheckField field() const { return field_; }

  private:
    CheckField field_;
};

double nominalAt(const CheckPulse& pulse, double s);

// The least and greatest value of the nominal over [from, to], from <= to:
// exact, from the shape, not from samples of it.
struct NominalRange {
    double min = 0.0;
    double max = 0.0;
};
NominalRange nominalRange(const CheckPulse& pulse, double from, double to);

// The pulse start: the sample k, with the whole pulse inside the record,
// that minimises the sum of squares of the record less the nominal started
// there, the earliest k on ties. The alignment takes the samples as evenly
// spaced at the record's interval (a reader holds every step within 1 % of
// it): the nominal's samples are n_j = nominal(j h), j = 0 .. L-1, and the
// cost of k is sum(m^2) + sum_j n_j (n_j - 2 m_{k+j}), the last sum added in
// one fixed order. Every computes that for every k; Fast finds the same k and the
// same cost from an FFT cross-correlation (analysis/check/alignment.cpp
// says why). `opposite*` is the search for the nominal of the other sign
// (Fast: the start of the largest computed correlation with it, costed
// exactly). The residuals are the sums of squares of the record less the
// nominal under the pulse alone. Throws CheckError.
enum class AlignSearch { Fast, Every };
struct Alignment {
    std::size_t index = 0;
    double cost = 0.0;
    std::size_t evaluated = 0;  // starts whose cost was summed sample by sample
    std::size_t oppositeIndex = 0;
    double oppositeCost = 0.0;
    double residual = 0.0, oppositeResidual = 0.0;
};

// How far a long check has come, for a progress line: `done` grows towards
// `total`, set by each stage in turn (the alignment, then each spectrum).
using CheckProgress = SrsProgress;

Alignment alignPulse(const RecordView& record, const CheckPulse& pulse,
                     const CheckSettings& settings = {}, AlignSearch search = AlignSearch::Fast,
                     unsigned threads = 0, CheckProgress* progress = nullptr);

// A margin is always how far inside its nearest limit a value is (negative
// beyond it): for the band, a fraction of |A|; for the spectrum, in dB.
struct BandResult {
    bool pass = false;
    std::size_t samplesChecked = 0;
    std::size_t samplesOutside = 0;
    // The sample with the smallest margin, min(upper - m, m - lower) / |A|
    // (negative outside the band), the first one on ties.
    std::size_t worstIndex = 0;
    double worstTimeS = 0.0;
    double worstValue = 0.0;
    double worstLower = 0.0;
    double worstUpper = 0.0;
    double worstMargin = 0.0;
};

struct VelocityResult {
    bool pass = false;
    double measured = 0.0;  // trapezoidal, amplitude units x s
    double nominal = 0.0;   // 2AD/pi or AD/2
    double ratio = 0.0;     // measured / nominal
};

struct SpectrumResult {
    bool pass = false;
    // The frequency of the smallest margin: worstDb is the level there,
    // 20 log10(record / nominal) of the maximax spectra; marginDb how far
    // inside the nearer limit, nearestLimitDb, that level is.
    double worstFrequencyHz = 0.0;
    double worstDb = 0.0;
    double marginDb = 0.0;
    double nearestLimitDb = 0.0;
};

// Why a record could not be judged where its pulse is: the monitoring
// window around the best start does not fit in the record.
enum class CheckReason { None, WindowBeforeOutside, WindowAfterOutside };

// The opposite sign's residual under the pulse below this share of the own
// sign's: the record looks inverted. This program's own judgement of "far
// better", not a standard's number.
inline constexpr double kInvertedResidualShare = 0.25;

struct CheckReport {
    bool pass = false;
    std::size_t offsetIndex = 0;
    double offsetS = 0.0;  // tau, the record's time where the pulse starts
    BandResult band;
    VelocityResult velocity;
    std::optional<SpectrumResult> srs;
    // Not None: the window does not fit around the pulse, by these seconds;
    // the band and the velocity change are then of the part in the record,
    // and the check does not pass.
    CheckReason reason = CheckReason::None;
    double shortBeforeS = 0.0, shortAfterS = 0.0;
    bool inverted = false;  // matches far better with the opposite sign
    Alignment alignment;
    CheckPulse pulse;
    CheckSettings settings;  // as used: the spectrum's range filled in
};

// Throws CheckError for a record or an input the check cannot use, and
// SrsSettingError for spectrum settings that cannot be used. `threads` 0
// uses every core.
CheckReport checkRecord(const RecordView& record, const CheckPulse& pulse,
                        const CheckSettings& settings = {}, unsigned threads = 0,
                        CheckProgress* progress = nullptr);

// One line per sample in the monitoring window of a report on `record`.
struct BandRow {
    double timeS = 0.0;
    double value = 0.0;
    double nominal = 0.0;
    double lower = 0.0;
    double upper = 0.0;
};
std::vector<BandRow> bandRows(const RecordView& record, const CheckReport& report);

// "time value nominal lower upper\n", each the shortest text that reads back
// as the same double.
void appendBandRow(std::string& out, const BandRow& row);

// One line: PASS or FAIL, the first failing criterion and its worst point,
// and a note when the record looks inverted. `settingName` names a setting
// in the caller's words (korvex-cli: its option); by default in plain words.
using SettingName = std::function<std::string(CheckField)>;
std::string checkVerdict(const CheckReport& report, const SettingName& settingName = {});

// The report's reason as a code for files ("" for None).
const char* checkReasonCode(CheckReason reason);

}  // namespace korvex
