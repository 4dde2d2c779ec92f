// The time-history file: one line per sample, " %14.6e \t %12.4e \r\n" with
// three-digit exponents, correctly rounded and independent of the C locale.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "pulse/output_sink.h"
#include "pulse/pulse_series.h"

namespace korvex {

// Every line has this many bytes. NaN and infinities are spelled "nan",
// "inf" and "-inf", right-aligned in the same fields, so the size holds for
// them too.
inline constexpr std::size_t kTimeHistoryLineSize = 33;

// Writes the line for one sample into out[0 .. kTimeHistoryLineSize).
void formatTimeHistoryLineTo(char* out, double time, double amplitude);

std::string formatTimeHistoryLine(double time, double amplitude);

// `count` lines into out[0 .. count x kTimeHistoryLineSize): the same bytes
// as formatTimeHistoryLineTo line by line, faster.
void formatTimeHistoryLines(char* out, const double* times, const double* amplitudes,
                            std::size_t count);

namespace detail {
// The paths formatTimeHistoryLines chooses from, for tests that hold each
// to the one-line formatter's bytes. The AVX2 one may run only where
// cpuHasAvx2() (pulse/simd.h); elsewhere it is the portable one.
void formatTimeHistoryLinesPortable(char* out, const double* times, const double* amplitudes,
                                    std::size_t count);
void formatTimeHistoryLinesAvx2(char* out, const double* times, const double* amplitudes,
                                std::size_t count);
}  // namespace detail

// One sink write per line, lines 0 to count - 1 in order. A failure of the
// sink propagates unchanged and stops the writer at that line.
void writeTimeHistory(OutputSink& sink, const PulseSeries& series);

// Samples [first, end) of a record into times[0 ..] and amplitudes[0 ..].
using SampleSource = std::function<void(int first, int end, double* times, double* amplitudes)>;

// The lines writeTimeHistory writes for the `count` samples of a record,
// computed a piece at a time as they are written, so that no record-sized
// arrays are filled first. A sink that takes many lines at once has them
// formatted by two threads, each half of every reservation; the bytes are
// the same. `samples` is called from both.
void writeSampledTimeHistory(OutputSink& sink, int count, const SampleSource& samples);

// The same for the series that `params` give.
void writePulseTimeHistory(OutputSink& sink, const PulseParameters& params);

}  // namespace korvex
