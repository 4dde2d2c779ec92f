// The whole check: the pulse start, whether the window fits around it, the
// band, the velocity change, the spectrum on request, and the sign.
#include "analysis/check/check_common.h"

namespace korvex {

CheckReport checkRecord(const RecordView& record, const CheckPulse& pulse,
                        const CheckSettings& settings, unsigned threads, CheckProgress* progress) {
    using namespace check;
    CheckReport rep;
    rep.pulse = pulse;
    rep.settings = settings;
    rep.alignment = alignPulse(record, pulse, settings, AlignSearch::Fast, threads, progress);
    const Alignment& al = rep.alignment;
    rep.offsetIndex = al.index;
    rep.offsetS = record.timeAt(al.index);
    const double tau = rep.offsetS;

    // The pulse is where it fits best; a window that does not fit around it
    // is said, never mended by moving the nominal to where the pulse is not.
    const Window w = monitoring(pulse, settings);
    const double before = tau - record.timeAt(0), after = record.timeAt(record.size() - 1) - tau;
    if (before < -w.lo - w.eps) rep.shortBeforeS = -w.lo - before;
    if (after < w.hi - w.eps) rep.shortAfterS = w.hi - after;
    if (rep.shortBeforeS > 0) {
        rep.reason = CheckReason::WindowBeforeOutside;
    } else if (rep.shortAfterS > 0) {
        rep.reason = CheckReason::WindowAfterOutside;
    }
    rep.inverted = al.oppositeResidual < kInvertedResidualShare * al.residual;

    rep.band = judgeBand(record, tau, pulse, settings, threads);
    rep.velocity = judgeVelocity(record, tau, pulse, settings);
    if (settings.spectrum) {
        rep.srs = checkSpectrum(record, al.index, pulse, rep.settings, threads, progress);
    }
    rep.pass = rep.reason == CheckReason::None && rep.band.pass && rep.velocity.pass &&
               (!rep.srs || rep.srs->pass);
    return rep;
}

const char* checkReasonCode(CheckReason reason) {
    switch (reason) {
        case CheckReason::None:
            return "";
        case CheckReason::WindowBeforeOutside:
            return "window_before_outside_record";
        case CheckReason::WindowAfterOutside:
            return "window_after_outside_record";
    }
    return "";
}

}  // namespace korvex
