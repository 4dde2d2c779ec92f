#include "cli/record_outputs.h"

#include <cmath>
#include <iostream>
#include <vector>

#include "analysis/srs_table.h"
#include "cli/output_files.h"
#include "cli/progress.h"
#include "pulse/number_text.h"

namespace korvex::cli {

void MotionArguments::add(CLI::App& app) {
    CLI::Option* unit =
        addChoiceOption(app, "--amplitude-unit", amplitudeUnit, {"g", "m/s2"},
                        "Unit of the amplitude, for velocity in m/s and displacement in mm");
    addNumberOption(app, "--max-stroke", maxStroke,
                    "The shaker's stroke, mm peak to peak: a larger one is warned of")
        ->needs(unit);
    addNumberOption(app, "--max-velocity", maxVelocity,
                    "The shaker's velocity limit, m/s: a larger one is warned of")
        ->needs(unit);
    addOutputOption(app, "--motion", motion,
                    "Velocity and displacement from rest as a text table, to FILE or -");
}

MotionOptions validateMotion(const CLI::App& app, const MotionArguments& a) {
    MotionOptions o;
    if (app.count("--amplitude-unit") > 0) {
        o.unit = a.amplitudeUnit == "g" ? AccelerationUnit::G : AccelerationUnit::MetersPerSecond2;
    }
    auto positive = [&app](const char* name, const std::string& text, double& target) {
        if (app.count(name) == 0) return;
        target = numberOption(name, text);
        if (!(target > 0)) throw UsageError(name, "must be greater than 0, got " + text);
    };
    positive("--max-stroke", a.maxStroke, o.limits.maxStrokeMm);
    positive("--max-velocity", a.maxVelocity, o.limits.maxVelocityMps);
    o.motion = a.motion;
    return o;
}

void addMotionSummary(nlohmann::ordered_json& j, const MotionFigures& f, const MotionOptions& o) {
    j["peak_velocity"] = f.peakVelocity;
    j["final_velocity"] = f.finalVelocity;
    j["peak_displacement"] = f.peakDisplacement;
    j["final_displacement"] = f.finalDisplacement;
    j["displacement_peak_to_peak"] = f.displacementPeakToPeak;
    if (!o.unit) return;
    const MotionFigures p = scaleMotion(f, motionScale(o.unit));
    j["amplitude_unit"] = *o.unit == AccelerationUnit::G ? "g" : "m/s2";
    j["peak_velocity_m_s"] = p.peakVelocity;
    j["final_velocity_m_s"] = p.finalVelocity;
    j["peak_displacement_mm"] = p.peakDisplacement;
    j["final_displacement_mm"] = p.finalDisplacement;
    j["displacement_peak_to_peak_mm"] = p.displacementPeakToPeak;
    const ShakerCheck check = checkShakerLimits(f, *o.unit, o.limits);
    // No limit given: null, as JSON has no infinity.
    j["max_stroke_mm"] = o.limits.maxStrokeMm;
    j["stroke_margin_mm"] = check.strokeMarginMm;
    j["max_velocity_m_s"] = o.limits.maxVelocityMps;
    j["velocity_margin_m_s"] = check.velocityMarginMps;
    // Within no limit at all says nothing: null, not true.
    const bool anyLimit =
        std::isfinite(o.limits.maxStrokeMm) || std::isfinite(o.limits.maxVelocityMps);
    j["within_limits"] = anyLimit ? nlohmann::ordered_json(check.withinLimits()) : nullptr;
    if (check.strokeExceeded) {
        std::cerr << "korvex-cli: warning: the stroke, " << humanText(check.strokeMm, 4)
                  << " mm peak to peak, exceeds --max-stroke " << humanText(o.limits.maxStrokeMm)
                  << " mm by " << humanText(-check.strokeMarginMm, 4) << " mm\n";
    }
    if (check.velocityExceeded) {
        std::cerr << "korvex-cli: warning: the peak velocity, " << humanText(check.velocityMps, 4)
                  << " m/s, exceeds --max-velocity " << humanText(o.limits.maxVelocityMps)
                  << " m/s by " << humanText(-check.velocityMarginMps, 4) << " m/s\n";
    }
}

bool writeMotionTable(const std::string& path, const RecordView& record,
                      std::optional<AccelerationUnit> unit) {
    std::vector<double> velocity(record.size()), displacement(record.size());
    integrateMotion(record.values, record.intervalS, velocity, displacement);
    const MotionScale scale = motionScale(unit);
    return writeOutput(path, [&](OutputSink& sink) {
        const std::string header = motionTableHeader(unit);
        sink.write(header.data(), header.size());
        const std::size_t perReserve = sink.maxReserve() / kMotionLineMaxSize;
        for (std::size_t first = 0; first < record.size(); first += perReserve) {
            const std::size_t end = std::min(record.size(), first + perReserve);
            char* out = sink.reserve((end - first) * kMotionLineMaxSize);
            sink.commit(formatMotionLines(out, record, velocity, displacement, scale, first, end));
        }
    });
}

void RecordOutputArguments::add(CLI::App& app, const std::string& what) {
    addOutputOption(app, "--summary", summary, "Figures of " + what + " as JSON, to FILE or -");
    CLI::Option* srsOption =
        addOutputOption(app, "--srs", srs, "Shock response spectrum as a text table, to FILE or -");
    srsOptions.add(app, srsOption);
    addChoiceOption(app, "--srs-kind", srsKind, {"acceleration", "pseudo-velocity", "displacement"},
                    "Response the spectrum gives (default acceleration)")
        ->needs(srsOption);
    motion.add(app);
}

RecordOutputs validateOutputs(const CLI::App& app, const RecordOutputArguments& a) {
    RecordOutputs o;
    o.summary = a.summary;
    o.srs = a.srs;
    o.srsSettings = a.srsOptions.settings(app);
    o.srsSettings.kind = a.srsKind == "pseudo-velocity" ? SrsKind::PseudoVelocity
                         : a.srsKind == "displacement"  ? SrsKind::Displacement
                                                        : SrsKind::Acceleration;
    o.motion = validateMotion(app, a.motion);
    return o;
}

SrsPlan planSpectrum(const SrsSettings& settings, double intervalS, const std::string& sampling) {
    try {
        return planShockSpectrum(settings, intervalS);
    } catch (const SrsSettingError& e) {
        throw UsageError(SrsOptions::optionOf(e.setting(), sampling), e.what());
    }
}

bool writeSpectrum(const std::string& path, const SrsPlan& plan, std::span<const double> samples,
                   const std::string& input, std::optional<AccelerationUnit> unit) {
    SrsProgress progress;
    std::vector<SrsPoint> points;
    {
        const Progress shown("shock response spectrum", progress.done, progress.total);
        points = computeShockSpectrum(samples, plan, 0, nullptr, &progress);
    }
    return writeText(path, formatSrsTable(plan, points, input, unit));
}

}  // namespace korvex::cli
