// The tolerance band around the nominal, its rows for a table, and the
// velocity change over its window.
#include <charconv>
#include <cmath>

#include "analysis/check/check_common.h"
#include "pulse/parallel.h"

namespace korvex {
namespace check {
namespace {

struct BandSample {
    double nominal, lower, upper;
};

BandSample bandAt(const CheckPulse& p, const CheckSettings& s, double offset) {
    const NominalRange r = nominalRange(p, offset - s.timeTolerance * p.durationS,
                                        offset + s.timeTolerance * p.durationS);
    const double tol = s.band * std::fabs(p.amplitude);
    return {nominalAt(p, offset), r.min - tol, r.max + tol};
}

}  // namespace

// Samples [first, end) of the window: their count outside and their
// smallest margin, the first on ties.
void bandOver(const RecordView& record, double tau, const CheckPulse& pulse,
              const CheckSettings& settings, std::size_t first, std::size_t end, BandResult& band) {
    const double A = std::fabs(pulse.amplitude);
    band.worstMargin = kInf;
    for (std::size_t i = first; i < end; ++i) {
        const double t = record.timeAt(i), m = record.values[i];
        const BandSample b = bandAt(pulse, settings, t - tau);
        if (m < b.lower || m > b.upper) ++band.samplesOutside;
        const double margin = std::min(b.upper - m, m - b.lower) / A;
        if (margin < band.worstMargin) {
            band.worstMargin = margin;
            band.worstIndex = i;
            band.worstTimeS = t;
            band.worstValue = m;
            band.worstLower = b.lower;
            band.worstUpper = b.upper;
        }
    }
}

BandResult judgeBand(const RecordView& record, double tau, const CheckPulse& pulse,
                     const CheckSettings& settings, unsigned threads) {
    const Span mon = samplesIn(record, tau, monitoring(pulse, settings));
    // A long window (a long pulse) in pieces on every core, joined in order
    // so that the first of equal margins still wins.
    constexpr std::size_t kPiece = 1 << 16;
    const std::size_t pieces = (mon.end - mon.first + kPiece - 1) / kPiece;
    std::vector<BandResult> parts(pieces);
    parallelFor(pieces, threads, [&](std::size_t j, unsigned) {
        const std::size_t first = mon.first + j * kPiece;
        bandOver(record, tau, pulse, settings, first, std::min(mon.end, first + kPiece), parts[j]);
    });
    BandResult band;
    band.samplesChecked = mon.end - mon.first;
    band.worstMargin = kInf;
    for (const BandResult& part : parts) {
        band.samplesOutside += part.samplesOutside;
        if (part.worstMargin < band.worstMargin) {
            const std::size_t outside = band.samplesOutside;
            band = part;
            band.samplesOutside = outside;
        }
    }
    band.samplesChecked = mon.end - mon.first;
    band.pass = band.samplesOutside == 0;
    return band;
}

VelocityResult judgeVelocity(const RecordView& record, double tau, const CheckPulse& pulse,
                             const CheckSettings& settings) {
    VelocityResult v;
    const double D = pulse.durationS;
    const Span vel =
        samplesIn(record, tau,
                  {-settings.velocityBefore * D, (1 + settings.velocityAfter) * D, slack(pulse)});
    double sum = 0.0;
    for (std::size_t i = vel.first; i + 1 < vel.end; ++i) {
        const double h =
            record.time.empty() ? record.intervalS : record.time[i + 1] - record.time[i];
        sum += (record.values[i] + record.values[i + 1]) / 2 * h;
    }
    v.measured = sum;
    v.nominal = nominalVelocityChange(pulse);
    v.ratio = v.measured / v.nominal;
    v.pass = std::fabs(v.measured - v.nominal) <= settings.velocityTolerance * std::fabs(v.nominal);
    return v;
}

}  // namespace check

std::vector<BandRow> bandRows(const RecordView& record, const CheckReport& report) {
    using namespace check;
    const double tau = report.offsetS;
    const Span mon = samplesIn(record, tau, monitoring(report.pulse, report.settings));
    std::vector<BandRow> rows;
    rows.reserve(mon.end - mon.first);
    for (std::size_t i = mon.first; i < mon.end; ++i) {
        const double t = record.timeAt(i);
        const BandSample b = bandAt(report.pulse, report.settings, t - tau);
        rows.push_back({t, record.values[i], b.nominal, b.lower, b.upper});
    }
    return rows;
}

void appendBandRow(std::string& out, const BandRow& row) {
    char buf[5 * 32];
    char* p = buf;
    for (double x : {row.timeS, row.value, row.nominal, row.lower, row.upper}) {
        if (p != buf) *p++ = ' ';
        p = std::to_chars(p, buf + sizeof buf, x).ptr;
    }
    *p++ = '\n';
    out.append(buf, p);
}

}  // namespace korvex
