#include "cli/check_channels.h"

#include <nlohmann/json.hpp>

#include "analysis/check_json.h"
#include "cli/check_conditioning.h"
#include "cli/progress.h"
#include "cli/trust_outputs.h"
#include "cli/usage.h"

namespace korvex::cli {

using nlohmann::ordered_json;

std::string checkOptionOf(CheckField field, const std::string& file) {
    switch (field) {
        case CheckField::Record:
            return file;
        case CheckField::Shape:
            return "--shape";
        case CheckField::Amplitude:
            return "--amplitude";
        case CheckField::Duration:
            return "--pulse-duration";
        case CheckField::Band:
            return "--band";
        case CheckField::TimeTolerance:
            return "--time-tolerance";
        case CheckField::WindowBefore:
            return "--window-before";
        case CheckField::WindowAfter:
            return "--window-after";
        case CheckField::VelocityTolerance:
            return "--velocity-tolerance";
        case CheckField::VelocityBefore:
            return "--velocity-window-before";
        case CheckField::VelocityAfter:
            return "--velocity-window-after";
        case CheckField::Spectrum:
            return "--srs-tolerance";
    }
    return file;
}

namespace {

struct Part {
    std::optional<std::size_t> event;  // from 1
    RecordView raw, view;
};

// The slices to check: the whole channel, or the events --event picks.
std::vector<Part> partsOf(const RecordView& raw, const RecordView& view, const EventChoice& e) {
    if (!e.any) return {{std::nullopt, raw, view}};
    const std::vector<ShockEvent> events = findEvents(view, e.settings);
    if (events.empty()) throw UsageError("--event", "the record has no shock event");
    if (!e.all && e.number > events.size()) {
        throw UsageError("--event", "the record has " + std::to_string(events.size()) +
                                        " shock events, not " + std::to_string(e.number));
    }
    std::vector<Part> parts;
    for (std::size_t k = 0; k < events.size(); ++k) {
        if (!e.all && k + 1 != e.number) continue;
        parts.push_back({k + 1, eventView(raw, events[k]), eventView(view, events[k])});
    }
    return parts;
}

std::string reportJson(const CheckedPart& c, const std::string& source, const CheckOptions& o,
                       const Processing& processing, std::optional<std::size_t> event) {
    ordered_json j;
    if (o.pulseCheck) {
        std::string text = checkReportJson(c.report, source, c.column, &o.plan);
        if (!event && c.warnings.empty() && !processing.any() && !c.target) return text;
        j = ordered_json::parse(text);
        if (c.target) j["spectrum_target"] = targetJson(*c.target, *o.target);
    } else {
        j = {{"source", source}, {"column", c.column}};
        j.update(targetJson(*c.target, *o.target));
    }
    if (event) j["event"] = *event;
    addWarnings(j, c.warnings);
    addProcessing(j, processing);
    return j.dump(2) + "\n";
}

}  // namespace

std::vector<CheckedPart> checkRecordParts(const Record& record, const std::string& file,
                                          const CheckOptions& o,
                                          std::vector<std::vector<double>>& conditioned) {
    std::vector<CheckedPart> out;
    const bool named = record.channels.size() > 1;
    for (const Channel& channel : record.channels) {
        const RecordView raw = channel.view();
        RecordView view = raw;
        Processing processing;
        if (conditions(o.condition)) {
            ConditionedRecord c = conditionReported(raw, o.condition);
            processing = c.processing;
            conditioned.push_back(std::move(c.values));
            view.values = conditioned.back();
        }
        for (const Part& part : partsOf(raw, view, o.event)) {
            CheckedPart c;
            c.column = channel.name;
            if (named) c.label = channel.name + ": ";
            if (part.event) c.label += "event " + std::to_string(*part.event) + ": ";
            c.view = part.view;
            c.achieved = measurePulse(part.view);
            const AchievedPulse& achieved = c.achieved;
            c.warnings = dataWarnings(part.raw, o.condition.highPassHz > 0 ? nullptr : &part.view,
                                      achieved, {});
            try {
                if (o.pulseCheck) {
                    CheckProgress progress;
                    const Progress line("checking", progress.done, progress.total);
                    c.report = checkRecord(part.view, o.pulse, o.plan.settings, 0, &progress);
                    c.pass &= c.report.pass;
                    // A check that already fails for want of record before
                    // the pulse says so itself.
                    if (auto w = checkPreTrigger(part.view, achieved,
                                                 o.plan.settings.windowBefore * o.pulse.durationS);
                        w && c.report.reason != CheckReason::WindowBeforeOutside) {
                        c.warnings.push_back(std::move(*w));
                    }
                }
                if (o.target) {
                    const TargetSettings& t = *o.target;
                    c.target = checkAgainstTarget(part.view.values, part.view.intervalS, t.target,
                                                  t.tolerance, t.q, t.perOctave);
                    c.pass &= c.target->passed();
                }
            } catch (const TargetError& e) {
                throw UsageError("--target", e.what());
            } catch (const CheckError& e) {
                throw UsageError(checkOptionOf(e.field(), file), e.what());
            } catch (const SrsSettingError& e) {
                throw UsageError(SrsOptions::optionOf(e.setting(), file), e.what());
            }
            c.json = reportJson(c, record.source, o, processing, part.event);
            out.push_back(std::move(c));
        }
    }
    return out;
}

std::vector<std::string> partVerdicts(const CheckedPart& part, const CheckOptions& options,
                                      const std::string& file) {
    std::vector<std::string> lines;
    const auto option = [&](CheckField field) { return checkOptionOf(field, file); };
    if (options.pulseCheck) lines.push_back(checkVerdict(part.report, option));
    if (part.target) lines.push_back(targetVerdict(*part.target, *options.target));
    return lines;
}

std::string partsJson(const std::vector<CheckedPart>& parts) {
    if (parts.size() == 1) return parts.front().json;
    ordered_json list = ordered_json::array();
    for (const CheckedPart& c : parts) list.push_back(ordered_json::parse(c.json));
    return ordered_json{{"checks", std::move(list)}}.dump(2) + "\n";
}

}  // namespace korvex::cli
