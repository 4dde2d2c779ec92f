#include "cli/check_options.h"

#include "cli/usage.h"

namespace korvex::cli {

EventChoice eventChoice(const CLI::App& app, const std::string& event, const std::string& threshold,
                        const std::string& deadTimeMs) {
    EventChoice e;
    for (const char* name : {"--event-threshold", "--event-dead-time-ms"}) {
        if (app.count(name) > 0 && app.count("--event") == 0) {
            throw UsageError::sentence(name, "needs --event");
        }
    }
    if (app.count("--event") == 0) return e;
    e.any = true;
    e.all = event == "all";
    if (!e.all) {
        const double n = numberOption("--event", event);
        if (!(n >= 1) || n != static_cast<double>(static_cast<std::size_t>(n))) {
            throw UsageError("--event", "must be an event number from 1, or all, got " + event);
        }
        e.number = static_cast<std::size_t>(n);
    }
    if (app.count("--event-threshold") > 0) {
        e.settings.threshold = numberOption("--event-threshold", threshold);
        if (!(*e.settings.threshold > 0)) {
            throw UsageError("--event-threshold", "must be greater than 0, got " + threshold);
        }
    }
    if (app.count("--event-dead-time-ms") > 0) {
        e.settings.deadTimeS = numberOption("--event-dead-time-ms", deadTimeMs) / 1e3;
        if (!(e.settings.deadTimeS >= 0)) {
            throw UsageError("--event-dead-time-ms", "must be 0 or more, got " + deadTimeMs);
        }
    }
    return e;
}

std::optional<TargetSettings> targetChoice(const CLI::App& app, const std::string& tolerance,
                                           const std::string& q, const std::string& perOctave) {
    if (app.count("--target") == 0) {
        for (const char* name : {"--tolerance", "--q", "--per-octave"}) {
            if (app.count(name) > 0) throw UsageError::sentence(name, "needs --target");
        }
        return std::nullopt;
    }
    TargetSettings t;
    if (app.count("--tolerance") > 0) {
        try {
            t.tolerance = parseTolerance(tolerance);
        } catch (const TargetError& e) {
            throw UsageError("--tolerance", e.what());
        }
    }
    if (app.count("--q") > 0) {
        t.q = numberOption("--q", q);
        if (!(t.q > 0)) throw UsageError("--q", "must be greater than 0, got " + q);
    }
    if (app.count("--per-octave") > 0) {
        const double n = numberOption("--per-octave", perOctave);
        if (!(n >= 1 && n <= 48) || n != static_cast<double>(static_cast<int>(n))) {
            throw UsageError("--per-octave",
                             "must be a whole number from 1 to 48, got " + perOctave);
        }
        t.perOctave = static_cast<int>(n);
    }
    return t;
}

}  // namespace korvex::cli
