#include "analysis/srs_table.h"

#include "pulse/number_text.h"

namespace korvex {

std::string formatSrsTable(const SrsPlan& plan, const std::vector<SrsPoint>& points) {
    std::string out =
        "# shock response spectrum: peak absolute acceleration of single-degree-of-freedom\n"
        "# systems from rest, with the pulse record as base input\n"
        "# Q " +
        humanText(plan.q) + " (damping ratio " + humanText(1 / (2 * plan.q)) + "), " +
        std::to_string(plan.perOctave) + " per octave, " + humanText(plan.fromHz) + " Hz to " +
        humanText(plan.toHz) + " Hz\n" +
        "# units: frequency in Hz; peaks in the amplitude's units\n"
        "# columns: frequency_hz positive negative maximax\n";
    for (const SrsPoint& p : points) {
        out += shortestText(p.frequencyHz);
        for (double v : {p.positive, p.negative, p.maximax}) {
            out += ' ';
            out += shortestText(v);
        }
        out += '\n';
    }
    return out;
}

}  // namespace korvex
