#include "analysis/check/test_plan.h"

#include <nlohmann/json.hpp>

#include <initializer_list>

namespace korvex {
namespace {

using Json = nlohmann::ordered_json;

struct Tolerance {
    const char* key;
    double CheckSettings::*value;
};
// The same names as the report's settings.
const Tolerance kTolerances[] = {
    {"band", &CheckSettings::band},
    {"time_tolerance", &CheckSettings::timeTolerance},
    {"window_before", &CheckSettings::windowBefore},
    {"window_after", &CheckSettings::windowAfter},
    {"velocity_tolerance", &CheckSettings::velocityTolerance},
    {"velocity_window_before", &CheckSettings::velocityBefore},
    {"velocity_window_after", &CheckSettings::velocityAfter},
};

Json orNull(const std::optional<double>& x) {
    return x ? Json(*x) : Json(nullptr);
}

void onlyKnown(const Json& object, const std::string& where,
               std::initializer_list<const char*> known) {
    if (!object.is_object()) throw TestPlanError(where, "must be an object");
    for (const auto& [key, value] : object.items()) {
        bool found = false;
        for (const char* k : known) found |= key == k;
        if (!found)
            throw TestPlanError(where.empty() ? key : where + "." + key, "is not a plan key");
    }
}

// The number at `key`, when present and not null.
std::optional<double> number(const Json& object, const std::string& where, const char* key) {
    const auto it = object.find(key);
    if (it == object.end() || it->is_null()) return std::nullopt;
    if (!it->is_number()) throw TestPlanError(where + "." + key, "must be a number");
    return it->get<double>();
}

std::string text(const Json& object, const std::string& where, const char* key,
                 std::initializer_list<const char*> choices, const char* fallback) {
    const auto it = object.find(key);
    if (it == object.end()) return fallback;
    if (it->is_string()) {
        for (const char* c : choices) {
            if (it->get<std::string>() == c) return c;
        }
    }
    std::string list;
    for (const char* c : choices) list += std::string(list.empty() ? "" : " or ") + c;
    throw TestPlanError(where + "." + key, "must be " + list);
}

}  // namespace

std::string testPlanJson(const TestPlan& p) {
    Json conditioning;
    try {
        conditioning = Json::parse(p.conditioning);
    } catch (const Json::parse_error&) {
        conditioning = nullptr;
    }
    if (!conditioning.is_object()) throw TestPlanError("conditioning", "must be a JSON object");
    Json tolerances = Json::object();
    for (const Tolerance& t : kTolerances) tolerances[t.key] = p.settings.*t.value;
    Json spectrum = nullptr;
    if (p.settings.spectrum) {
        const SrsSettings& s = p.settings.srs;
        spectrum = {{"tolerance_db", {p.settings.spectrum->lowDb, p.settings.spectrum->highDb}},
                    {"q", s.q},
                    {"from_hz", orNull(s.fromHz)},
                    {"to_hz", orNull(s.toHz)},
                    {"per_octave", s.perOctave}};
    }
    const Json j = {
        {"nominal",
         {{"shape", p.shape == PulseType::TerminalSawtooth ? "terminal-sawtooth" : "half-sine"},
          {"amplitude", orNull(p.amplitude)},
          {"pulse_duration", orNull(p.pulseDuration)},
          {"unit", p.unit == TimeUnit::Seconds ? "s" : "ms"}}},
        {"tolerances", tolerances},
        {"spectrum", spectrum},
        {"conditioning", conditioning},
        {"channels", p.channels},
    };
    return j.dump(2) + "\n";
}

TestPlan readTestPlan(std::string_view textIn) {
    Json j;
    try {
        j = Json::parse(textIn);
    } catch (const Json::parse_error& e) {
        throw TestPlanError("", std::string("not JSON: ") + e.what());
    }
    onlyKnown(j, "", {"nominal", "tolerances", "spectrum", "conditioning", "channels"});
    TestPlan p;
    if (const auto it = j.find("nominal"); it != j.end()) {
        onlyKnown(*it, "nominal", {"shape", "amplitude", "pulse_duration", "unit"});
        p.shape = text(*it, "nominal", "shape", {"half-sine", "terminal-sawtooth"}, "half-sine") ==
                          "terminal-sawtooth"
                      ? PulseType::TerminalSawtooth
                      : PulseType::HalfSine;
        p.amplitude = number(*it, "nominal", "amplitude");
        p.pulseDuration = number(*it, "nominal", "pulse_duration");
        p.unit = text(*it, "nominal", "unit", {"ms", "s"}, "ms") == std::string("s")
                     ? TimeUnit::Seconds
                     : TimeUnit::Milliseconds;
    }
    if (const auto it = j.find("tolerances"); it != j.end()) {
        onlyKnown(*it, "tolerances",
                  {"band", "time_tolerance", "window_before", "window_after", "velocity_tolerance",
                   "velocity_window_before", "velocity_window_after"});
        for (const Tolerance& t : kTolerances) {
            if (const auto v = number(*it, "tolerances", t.key)) p.settings.*t.value = *v;
        }
    }
    if (const auto it = j.find("spectrum"); it != j.end() && !it->is_null()) {
        onlyKnown(*it, "spectrum", {"tolerance_db", "q", "from_hz", "to_hz", "per_octave"});
        const auto range = it->find("tolerance_db");
        if (range == it->end() || !range->is_array() || range->size() != 2 ||
            !(*range)[0].is_number() || !(*range)[1].is_number()) {
            throw TestPlanError("spectrum.tolerance_db", "must be [LOW, HIGH] in dB");
        }
        p.settings.spectrum =
            SpectrumTolerance{(*range)[0].get<double>(), (*range)[1].get<double>()};
        SrsSettings& s = p.settings.srs;
        if (const auto q = number(*it, "spectrum", "q")) s.q = *q;
        s.fromHz = number(*it, "spectrum", "from_hz");
        s.toHz = number(*it, "spectrum", "to_hz");
        if (const auto n = number(*it, "spectrum", "per_octave")) s.perOctave = *n;
    }
    if (const auto it = j.find("conditioning"); it != j.end()) {
        if (!it->is_object()) throw TestPlanError("conditioning", "must be an object");
        p.conditioning = it->dump();
    }
    if (const auto it = j.find("channels"); it != j.end()) {
        if (!it->is_array()) throw TestPlanError("channels", "must be a list of columns");
        for (const Json& c : *it) {
            if (!c.is_string()) throw TestPlanError("channels", "must be a list of column texts");
            p.channels.push_back(c.get<std::string>());
        }
    }
    return p;
}

std::optional<CheckPulse> planPulse(const TestPlan& p) {
    if (!p.amplitude || !p.pulseDuration) return std::nullopt;
    const double toSeconds = p.unit == TimeUnit::Seconds ? 1.0 : 0.001;
    return CheckPulse{p.shape, *p.amplitude, *p.pulseDuration * toSeconds};
}

}  // namespace korvex
