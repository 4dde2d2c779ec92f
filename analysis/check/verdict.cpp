// The verdict in words: one line that says whether the record passes and,
// when not, why, in the same words the report's keys use.
#include <cmath>

#include "analysis/check/check_common.h"

namespace korvex {
namespace check {
namespace {

std::string plainName(CheckField field) {
    switch (field) {
        case CheckField::WindowBefore:
            return "the window before";
        case CheckField::WindowAfter:
            return "the window after";
        case CheckField::VelocityBefore:
            return "the velocity window before";
        default:
            return "the setting";
    }
}

// A duration for people: ms below a second.
std::string duration(double s) {
    return std::fabs(s) < 1.0 ? number(s * 1000) + " ms" : number(s) + " s";
}

std::string reasonWords(const CheckReport& r, const SettingName& name) {
    const double D = r.pulse.durationS;
    if (r.reason == CheckReason::WindowBeforeOutside) {
        return "the record starts " + duration(r.shortBeforeS) +
               " too late for the window before the pulse (" + number(r.settings.windowBefore) +
               " x " + duration(D) + "): record with a pre-trigger, or set " +
               name(CheckField::WindowBefore) + " 0" +
               // The velocity window may not reach beyond the monitoring one.
               (r.settings.velocityBefore > 0 ? " and " + name(CheckField::VelocityBefore) + " 0"
                                              : std::string());
    }
    return "the record ends " + duration(r.shortAfterS) +
           " too early for the window after the pulse (" + number(r.settings.windowAfter) + " x " +
           duration(D) + " after its end): record longer after the trigger, or set " +
           name(CheckField::WindowAfter) + " lower";
}

std::string verdictWords(const CheckReport& r, const SettingName& name) {
    const BandResult& b = r.band;
    const VelocityResult& v = r.velocity;
    if (r.reason != CheckReason::None) return "FAIL: " + reasonWords(r, name);
    if (!b.pass) {
        const bool above = b.worstValue > b.worstUpper;
        return "FAIL: band: " + count(b.samplesOutside) + " of " + count(b.samplesChecked) +
               " samples outside, worst at " + number(b.worstTimeS) +
               " s: " + number(b.worstValue) +
               (above ? " above the upper limit " + number(b.worstUpper)
                      : " below the lower limit " + number(b.worstLower));
    }
    const std::string velocity = "velocity change: " + number(v.measured) + " against " +
                                 number(v.nominal) + ", ratio " + number(v.ratio);
    if (!v.pass) {
        return "FAIL: " + velocity + ", more than " + number(r.settings.velocityTolerance) +
               " of the nominal away";
    }
    std::string spectrum;
    if (r.srs) {
        const SpectrumTolerance& tol = *r.settings.spectrum;
        const SpectrumResult& s = *r.srs;
        const std::string at = " at " + number(s.worstFrequencyHz) + " Hz";
        if (!s.pass) {
            return "FAIL: spectrum: level " + number(s.worstDb) + " dB" + at +
                   (s.worstDb > tol.highDb ? ", above the upper limit " + number(tol.highDb)
                                           : ", below the lower limit " + number(tol.lowDb)) +
                   " dB";
        }
        spectrum = "; spectrum: within " + number(tol.lowDb) + " to " + number(tol.highDb) +
                   " dB, smallest margin " + number(s.marginDb) + " dB" + at + " (level " +
                   number(s.worstDb) + " dB, nearest limit " + number(s.nearestLimitDb) + " dB)";
    }
    return "PASS: band: all " + count(b.samplesChecked) + " samples inside, smallest margin " +
           number(b.worstMargin) + " of the amplitude at " + number(b.worstTimeS) + " s; " +
           velocity + spectrum;
}

}  // namespace
}  // namespace check

std::string checkVerdict(const CheckReport& r, const SettingName& settingName) {
    const SettingName& name = settingName ? settingName : SettingName(check::plainName);
    std::string line = check::verdictWords(r, name);
    if (r.inverted) {
        line +=
            "; the record looks inverted: it matches the nominal far better with the "
            "opposite sign (a reversed accelerometer or amplitude sign)";
    }
    return line;
}

}  // namespace korvex
