#include "pulse/pre_time.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "pulse/number_text.h"

namespace korvex {
namespace {

double timeOf(int i, const SamplePlan& plan, TimeUnit unit) {
    const double t = static_cast<double>(i) * plan.dt;
    return unit == TimeUnit::Milliseconds ? t * 0.001 : t;
}

}  // namespace

std::optional<int> preTimeSamples(const PulseParameters& params, double preTime, std::string* why) {
    const double samples = std::round(preTime * params.sampleRate);
    if (!(preTime >= 0.0 && samples < kMaxSamples)) {
        if (why != nullptr) {
            *why = !(preTime >= 0.0)
                       ? "the pre-time must be a number of 0 or more, got " + humanText(preTime)
                       : "the pre-time alone would take more than the " +
                             std::to_string(kMaxSamples) + " samples of a record";
        }
        return std::nullopt;
    }
    return static_cast<int>(samples);
}

int paddedCount(int pre, int count) {
    return static_cast<int>(
        std::min<long long>(kMaxSamples, static_cast<long long>(pre) + std::max(0, count)));
}

void paddedSamples(const SampleSource& inner, int pre, const SamplePlan& plan, TimeUnit unit,
                   int first, int end, double* times, double* amplitudes) {
    if (pre == 0) return inner(first, end, times, amplitudes);
    for (int i = first; i < std::min(end, pre); ++i) {
        times[i - first] = timeOf(i, plan, unit);
        amplitudes[i - first] = 0.0;
    }
    const int from = std::max(first, pre);
    if (from >= end) return;
    std::vector<double> ignored(static_cast<std::size_t>(end - from));
    inner(from - pre, end - pre, ignored.data(), amplitudes + (from - first));
    for (int i = from; i < end; ++i) times[i - first] = timeOf(i, plan, unit);
}

void padSeries(PulseSeries& series, int pre, const SamplePlan& plan, TimeUnit unit) {
    if (pre == 0) return;
    const int count = paddedCount(pre, series.count);
    const int moved = std::max(0, count - pre);
    std::copy_backward(series.amplitude.begin(), series.amplitude.begin() + moved,
                       series.amplitude.begin() + count);
    std::fill(series.amplitude.begin(), series.amplitude.begin() + std::min(pre, count), 0.0);
    for (int i = 0; i < count; ++i)
        series.time[static_cast<std::size_t>(i)] = timeOf(i, plan, unit);
    series.count = count;
}

}  // namespace korvex
