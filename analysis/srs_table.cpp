#include "analysis/srs_table.h"

#include "pulse/number_text.h"

namespace korvex {

std::string formatSrsTable(const SrsPlan& plan, const std::vector<SrsPoint>& points,
                           const std::string& input, std::optional<AccelerationUnit> unit) {
    std::string what, units;
    double scale = 1.0;
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
    std::string out = "# shock response spectrum: " + what + " from rest, with " + input +
                      " as base input\n# Q " + humanText(plan.q) + " (damping ratio " +
                      humanText(1 / (2 * plan.q)) + "), " + std::to_string(plan.perOctave) +
                      " per octave, " + humanText(plan.fromHz) + " Hz to " + humanText(plan.toHz) +
                      " Hz\n# units: frequency in Hz; peaks in " + units +
                      "\n# columns: frequency_hz positive negative maximax\n";
    for (const SrsPoint& p : points) {
        out += shortestText(p.frequencyHz);
        for (double v : {p.positive, p.negative, p.maximax}) {
            out += ' ';
            out += shortestText(scale == 1.0 ? v : v * scale);
        }
        out += '\n';
    }
    return out;
}

}  // namespace korvex
