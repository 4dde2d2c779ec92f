// Whether the record's shock response spectrum stays within a range of
// decibels of the nominal's, and the frequency of the smallest margin.
#include <cmath>

#include "analysis/check/check_common.h"

namespace korvex::check {

SpectrumResult checkSpectrum(const RecordView& r, std::size_t start, const CheckPulse& p,
                             CheckSettings& s, unsigned threads, CheckProgress* progress) {
    if (!(r.intervalS > 0.0 && r.intervalS < kInf)) {
        throw CheckError(CheckField::Record,
                         "the spectrum needs the record's sample interval, which it does not give");
    }
    const SrsPlan plan = planShockSpectrum(s.srs, r.intervalS);
    s.srs.fromHz = plan.fromHz;
    s.srs.toHz = plan.toHz;
    // The nominal on the record's own times, so that both spectra see the
    // same span after the pulse.
    std::vector<double> nominal(r.size());
    const double tau = r.timeAt(start);
    for (std::size_t i = 0; i < nominal.size(); ++i) nominal[i] = nominalAt(p, r.timeAt(i) - tau);
    if (progress != nullptr) progress->done = 0;
    const std::vector<SrsPoint> got =
        computeShockSpectrum(r.values, plan, threads, nullptr, progress);
    if (progress != nullptr) progress->done = 0;
    const std::vector<SrsPoint> want =
        computeShockSpectrum(nominal, plan, threads, nullptr, progress);

    SpectrumResult out;
    out.pass = true;
    double worst = kInf;
    for (std::size_t j = 0; j < got.size(); ++j) {
        const double db = 20 * std::log10(got[j].maximax / want[j].maximax);
        const double toLow = db - s.spectrum->lowDb, toHigh = s.spectrum->highDb - db;
        double margin = std::min(toLow, toHigh);
        if (std::isnan(margin)) margin = -kInf;
        if (!(margin >= 0.0)) out.pass = false;
        if (margin < worst || j == 0) {
            worst = margin;
            out.worstFrequencyHz = got[j].frequencyHz;
            out.worstDb = db;
            out.marginDb = margin;
            // Nearer in level, or beyond: the one on the level's side of the
            // middle of the range.
            out.nearestLimitDb = toHigh < toLow ? s.spectrum->highDb : s.spectrum->lowDb;
        }
    }
    return out;
}

}  // namespace korvex::check
