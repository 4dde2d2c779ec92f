#include "analysis/srs_table.h"

#include "pulse/number_text.h"

namespace korvex {

namespace {

// The header up to its columns line, and the factor the peaks are given in.
std::string srsHeader(const SrsPlan& plan, const std::string& input,
                      std::optional<AccelerationUnit> unit, double& scale) {
    std::string what, units;
    scale = 1.0;
    const MotionScale physical = motionScale(unit);
    switch (plan.kind) {
        case SrsKind::Acceleration:
            what = "peak absolute acceleration of single-degree-of-freedom\n# systems";
            units = "the amplitude's units";
            break;
        case SrsKind::PseudoVelocity:
            what =
                "peak pseudo-velocity (natural angular frequency times the\n# displacement "
                "relative to the base) of single-degree-of-freedom systems";
            units = unit ? "m/s" : "the amplitude's units x s";
            scale = physical.velocity;
            break;
        case SrsKind::Displacement:
            what =
                "peak displacement of the mass relative to the base, of\n# "
                "single-degree-of-freedom systems";
            units = unit ? "mm" : "the amplitude's units x s^2";
            scale = physical.displacement;
            break;
    }
    return "# shock response spectrum: " + what + " from rest, with " + input +
           " as base input\n# Q " + humanText(plan.q) + " (damping ratio " +
           humanText(1 / (2 * plan.q)) + "), " + std::to_string(plan.perOctave) + " per octave, " +
           humanText(plan.fromHz) + " Hz to " + humanText(plan.toHz) +
           " Hz\n# units: frequency in Hz; peaks in " + units + "\n";
}

void addPeaks(std::string& out, const SrsPoint& p, double scale) {
    for (double v : {p.positive, p.negative, p.maximax}) {
        out += ' ';
        out += shortestText(scale == 1.0 ? v : v * scale);
    }
}

}  // namespace

std::string formatSrsTable(const SrsPlan& plan, const std::vector<SrsPoint>& points,
                           const std::string& input, std::optional<AccelerationUnit> unit) {
    double scale = 1.0;
    std::string out =
        srsHeader(plan, input, unit, scale) + "# columns: frequency_hz positive negative maximax\n";
    for (const SrsPoint& p : points) {
        out += shortestText(p.frequencyHz);
        addPeaks(out, p, scale);
        out += '\n';
    }
    return out;
}

std::string columnName(const std::string& name) {
    std::string out = name.empty() ? "channel" : name;
    for (char& c : out) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') c = '_';
    }
    return out;
}

std::string formatSrsTable(const SrsPlan& plan, const std::vector<SrsChannel>& channels,
                           const std::string& input, std::optional<AccelerationUnit> unit,
                           const std::string& note) {
    double scale = 1.0;
    std::string out = srsHeader(plan, input, unit, scale) + note + "# columns: frequency_hz";
    for (const SrsChannel& c : channels) {
        const std::string n = columnName(c.name);
        out += ' ' + n + "_positive " + n + "_negative " + n + "_maximax";
    }
    out += '\n';
    for (std::size_t k = 0; k < plan.frequencies.size(); ++k) {
        out += shortestText(plan.frequencies[k]);
        for (const SrsChannel& c : channels) addPeaks(out, c.points[k], scale);
        out += '\n';
    }
    return out;
}

}  // namespace korvex
