#include "analysis/record/formats/uniform_time.h"

#include <cmath>

#include "analysis/record_reader.h"

namespace korvex::formats {

UniformTime uniformTime(const SampleArray& time) {
    UniformTime u;
    if (time.size() < 2) return u;
    u.startS = time.front();
    u.intervalS = (time.back() - time.front()) / static_cast<double>(time.size() - 1);
    if (!(u.intervalS > 0)) {
        u.firstStray = 1;
        return u;
    }
    const double allowed = kIntervalTolerance * u.intervalS;
    for (std::size_t i = 1; i < time.size(); ++i) {
        if (!(std::abs(time[i] - time[i - 1] - u.intervalS) <= allowed)) {
            u.firstStray = i;
            break;
        }
    }
    return u;
}

}  // namespace korvex::formats
