#include "analysis/trust/shock_events.h"

#include <algorithm>
#include <cmath>

#include "analysis/trust/sample_scan.h"

namespace korvex {

std::vector<ShockEvent> findEvents(const RecordView& r, const EventSettings& s,
                                   const SampleScan* given) {
    std::vector<ShockEvent> events;
    const std::size_t n = r.size();
    const SampleScan scan = given != nullptr ? *given : scanSamples(r.values);
    const double largest = scan.finite ? scan.largest : 0.0;
    const double threshold = s.threshold ? std::fabs(*s.threshold) : s.thresholdFraction * largest;
    if (!(largest > 0) || !(threshold > 0)) return events;
    const double dead = r.intervalS > 0 ? s.deadTimeS / r.intervalS : 0.0;
    // Spans [a, b] of samples at or above the threshold, gaps under the dead time joined.
    std::vector<std::pair<std::size_t, std::size_t>> spans;
    for (std::size_t i = findMagnitude(r.values, 0, threshold); i < n;
         i = findMagnitude(r.values, i + 1, threshold)) {
        if (!spans.empty() && static_cast<double>(i - spans.back().second) <= dead) {
            spans.back().second = i;
        } else {
            spans.emplace_back(i, i);
        }
    }
    for (std::size_t k = 0; k < spans.size(); ++k) {
        ShockEvent e;
        e.first = k == 0 ? 0 : (spans[k - 1].second + spans[k].first + 1) / 2;
        e.end = k + 1 == spans.size() ? n : (spans[k].second + spans[k + 1].first + 1) / 2;
        // The slice's largest sample is in its span: the rest is below the threshold.
        e.pulse = measurePulseAround(r, e.first, e.end, spans[k].first, spans[k].second + 1,
                                     s.pulseFraction);
        events.push_back(e);
    }
    return events;
}

RecordView eventView(const RecordView& r, const ShockEvent& e) {
    RecordView v;
    v.values = r.values.subspan(e.first, e.end - e.first);
    if (!r.time.empty()) v.time = r.time.subspan(e.first, e.end - e.first);
    v.startS = r.timeAt(e.first);
    v.intervalS = r.intervalS;
    return v;
}

}  // namespace korvex
