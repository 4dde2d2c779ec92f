// The check's report as JSON: what was judged, how, and the outcome, in
// the verdict's words.
#include "analysis/check_json.h"

#include <nlohmann/json.hpp>

namespace korvex {

std::string checkReportJson(const CheckReport& r, const std::string& source,
                            const std::string& column, const TestPlan* plan) {
    const CheckSettings& s = r.settings;
    nlohmann::ordered_json settings = {
        {"band", s.band},
        {"time_tolerance", s.timeTolerance},
        {"window_before", s.windowBefore},
        {"window_after", s.windowAfter},
        {"velocity_tolerance", s.velocityTolerance},
        {"velocity_window_before", s.velocityBefore},
        {"velocity_window_after", s.velocityAfter},
        {"srs_tolerance_db", nullptr},
    };
    if (s.spectrum) {
        settings["srs_tolerance_db"] = {s.spectrum->lowDb, s.spectrum->highDb};
        settings["srs_q"] = s.srs.q;
        settings["srs_from_hz"] = s.srs.fromHz.value_or(0.0);
        settings["srs_to_hz"] = s.srs.toHz.value_or(0.0);
        settings["srs_per_octave"] = s.srs.perOctave;
    }
    // NaN and infinities come out as null.
    nlohmann::ordered_json j = {
        {"pass", r.pass},
        {"source", source},
        {"column", column},
        {"nominal",
         {{"shape",
           r.pulse.shape == PulseType::TerminalSawtooth ? "terminal-sawtooth" : "half-sine"},
          {"amplitude", r.pulse.amplitude},
          {"pulse_duration_s", r.pulse.durationS}}},
        {"offset_s", r.offsetS},
        {"reason", r.reason == CheckReason::None
                       ? nlohmann::ordered_json(nullptr)
                       : nlohmann::ordered_json(checkReasonCode(r.reason))},
        {"window_short_by_s", {{"before", r.shortBeforeS}, {"after", r.shortAfterS}}},
        {"inverted", r.inverted},
        {"alignment",
         {{"cost", r.alignment.cost},
          {"starts_costed_exactly", r.alignment.evaluated},
          {"opposite_sign_cost", r.alignment.oppositeCost}}},
        {"band",
         {{"pass", r.band.pass},
          {"samples_checked", r.band.samplesChecked},
          {"samples_outside", r.band.samplesOutside},
          {"worst_time_s", r.band.worstTimeS},
          {"worst_value", r.band.worstValue},
          {"worst_lower", r.band.worstLower},
          {"worst_upper", r.band.worstUpper},
          {"worst_margin", r.band.worstMargin},
          {"margin_of_amplitude", r.band.worstMargin}}},
        {"velocity_change",
         {{"pass", r.velocity.pass},
          {"measured", r.velocity.measured},
          {"nominal", r.velocity.nominal},
          {"ratio", r.velocity.ratio}}},
        {"srs", nullptr},
        {"settings", settings},
    };
    if (r.srs) {
        j["srs"] = {{"pass", r.srs->pass},          {"worst_frequency_hz", r.srs->worstFrequencyHz},
                    {"worst_db", r.srs->worstDb},   {"level_db", r.srs->worstDb},
                    {"margin_db", r.srs->marginDb}, {"nearest_limit_db", r.srs->nearestLimitDb}};
    }
    if (plan != nullptr) j["plan"] = nlohmann::ordered_json::parse(testPlanJson(*plan));
    return j.dump(2) + "\n";
}

}  // namespace korvex
