#include "cli/check_conditioning.h"

#include <nlohmann/json.hpp>

#include "cli/usage.h"

namespace korvex::cli {

using nlohmann::ordered_json;

namespace {

constexpr double kDefaultPadS = ConditionSettings{}.padS;

double planNumber(const ordered_json& value, const char* key, bool zeroAllowed) {
    if (!value.is_number() || !(value.get<double>() > 0 || (zeroAllowed && value == 0))) {
        throw UsageError("--plan", std::string("conditioning.") + key + ": must be a number " +
                                       (zeroAllowed ? "0 or more" : "greater than 0"));
    }
    return value.get<double>();
}

}  // namespace

ConditionSettings readPlanConditioning(const std::string& json) {
    ConditionSettings s;
    const ordered_json j = ordered_json::parse(json, nullptr, false);
    if (!j.is_object()) throw UsageError("--plan", "conditioning: must be an object");
    for (const auto& [key, value] : j.items()) {
        if (key == "offset") {
            if (value == "pre") {
                s.offset = OffsetMethod::PreTrigger;
            } else if (value == "mean") {
                s.offset = OffsetMethod::Mean;
            } else if (value != "none" && !value.is_null()) {
                throw UsageError("--plan", "conditioning.offset: must be pre, mean or none");
            }
        } else if (key == "lowpass") {
            if (!value.is_string()) {
                throw UsageError("--plan", "conditioning.lowpass: must be text (CFC1000 or Hz)");
            }
            s.lowPass = lowPassOption(value.get<std::string>());
        } else if (key == "highpass_hz") {
            s.highPassHz = planNumber(value, "highpass_hz", false);
        } else if (key == "filter_pad_ms") {
            s.padS = planNumber(value, "filter_pad_ms", true) / 1e3;
        } else {
            throw UsageError("--plan", "conditioning." + key + ": unknown key");
        }
    }
    return s;
}

std::string planConditioningJson(const ConditionSettings& s) {
    ordered_json j = ordered_json::object();
    if (s.offset != OffsetMethod::None) {
        j["offset"] = s.offset == OffsetMethod::PreTrigger ? "pre" : "mean";
    }
    if (s.lowPass) j["lowpass"] = s.lowPass->name;
    if (s.highPassHz > 0) j["highpass_hz"] = s.highPassHz;
    if (s.padS != kDefaultPadS) j["filter_pad_ms"] = s.padS * 1e3;
    return j.dump();
}

ConditionSettings mergeConditioning(const CLI::App& app, const ConditionArguments& a,
                                    ConditionSettings s) {
    const ConditionSettings given = a.validate(app);
    if (app.count("--offset") > 0) s.offset = given.offset;
    if (app.count("--lowpass") > 0) s.lowPass = given.lowPass;
    if (app.count("--highpass") > 0) s.highPassHz = given.highPassHz;
    if (app.count("--filter-pad-ms") > 0) s.padS = given.padS;
    return s;
}

}  // namespace korvex::cli
