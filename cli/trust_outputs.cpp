#include "cli/trust_outputs.h"

#include <iostream>

#include "pulse/number_text.h"

namespace korvex::cli {

using nlohmann::ordered_json;

void addWarnings(ordered_json& j, const std::vector<DataWarning>& warnings) {
    if (warnings.empty()) return;
    ordered_json list = ordered_json::array();
    for (const DataWarning& w : warnings) {
        ordered_json o = {{"code", w.code}, {"message", w.message}};
        o["where_s"] = w.whereS ? ordered_json(*w.whereS) : ordered_json(nullptr);
        if (!w.lowerBounds.empty()) o["lower_bounds"] = w.lowerBounds;
        list.push_back(std::move(o));
    }
    j["warnings"] = std::move(list);
}

void printWarnings(const std::vector<DataWarning>& warnings, const std::string& channel) {
    const std::string of = channel.empty() ? "" : channel + ": ";
    for (const DataWarning& w : warnings) {
        std::cerr << "korvex-cli: warning: " << of << w.message << '\n';
    }
}

void addProcessing(ordered_json& j, const Processing& p) {
    if (!p.any()) return;
    ordered_json o;
    if (p.offset == OffsetMethod::None) {
        o["offset"] = nullptr;
    } else {
        o["offset"] = {{"method", p.offset == OffsetMethod::PreTrigger ? "pre" : "mean"},
                       {"value", p.offsetValue},
                       {"samples", p.offsetSamples}};
    }
    if (p.lowPass) {
        o["lowpass"] = {{"name", p.lowPass->name},
                        {"class", p.lowPass->classHz > 0 ? ordered_json(p.lowPass->classHz)
                                                         : ordered_json(nullptr)},
                        {"corner_hz", p.lowPass->cornerHz > 0 ? ordered_json(p.lowPass->cornerHz)
                                                              : ordered_json(nullptr)},
                        {"design_hz", p.lowPassDesignHz},
                        {"poles", 4},
                        {"phaseless", true},
                        {"pad_samples", p.padSamples}};
    } else {
        o["lowpass"] = nullptr;
    }
    if (p.highPassHz > 0) {
        o["highpass"] = {{"corner_hz", p.highPassHz},
                         {"design_hz", p.highPassDesignHz},
                         {"poles", 4},
                         {"phaseless", true},
                         {"pad_samples", p.padSamples},
                         {"applies_to", "velocity and displacement"}};
    } else {
        o["highpass"] = nullptr;
    }
    j["processing"] = std::move(o);
}

namespace {

ordered_json fitJson(const PulseFit& f) {
    if (!f.found) return nullptr;
    return {{"amplitude", f.amplitude},
            {"duration_s", f.durationS},
            {"start_s", f.startS},
            {"residual", f.residual}};
}

}  // namespace

ordered_json pulseJson(const RecordView& record, const AchievedPulse& p) {
    if (!p.found) return nullptr;
    return {{"peak", p.peak},
            {"peak_time_s", p.peakTimeS},
            {"start_s", p.startS},
            {"end_s", p.endS},
            {"duration_s", p.durationS},
            {"rise_time_s", p.riseTimeS},
            {"fraction", p.fraction},
            {"half_sine", fitJson(fitPulse(record, p, PulseShape::HalfSine))},
            {"terminal_sawtooth", fitJson(fitPulse(record, p, PulseShape::TerminalSawtooth))}};
}

ordered_json eventsJson(const std::vector<ShockEvent>& events) {
    ordered_json list = ordered_json::array();
    for (const ShockEvent& e : events) {
        list.push_back({{"start_s", e.pulse.startS},
                        {"peak_time_s", e.pulse.peakTimeS},
                        {"peak", e.pulse.peak},
                        {"duration_s", e.pulse.durationS},
                        {"first_sample", e.first},
                        {"end_sample", e.end}});
    }
    return list;
}

std::string eventsTable(const std::vector<ShockEvent>& events) {
    std::string out = "# shock events: " + std::to_string(events.size()) +
                      "\n# event start_s peak_time_s peak duration_s\n";
    for (std::size_t k = 0; k < events.size(); ++k) {
        const AchievedPulse& p = events[k].pulse;
        out += std::to_string(k + 1) + ' ' + shortestText(p.startS) + ' ' +
               shortestText(p.peakTimeS) + ' ' + shortestText(p.peak) + ' ' +
               shortestText(p.durationS) + '\n';
    }
    return out;
}

}  // namespace korvex::cli
