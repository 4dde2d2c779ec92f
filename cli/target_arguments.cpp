#include "cli/target_arguments.h"

#include <fstream>
#include <iostream>
#include <sstream>

#include "cli/usage.h"
#include "pulse/number_text.h"

namespace korvex::cli {

using nlohmann::ordered_json;

bool readTarget(const std::string& text, SpectrumTarget& target) {
    std::ifstream file(text, std::ios::binary);
    try {
        if (!file && text.find(':') != std::string::npos) {
            target = parseTargetList(text);
            return true;
        }
        if (!file) {
            std::cerr << "korvex-cli: --target: cannot read " << quotedText(text)
                      << " (neither a file nor a list FREQUENCY:LEVEL,...)\n";
            return false;
        }
        std::ostringstream bytes;
        bytes << file.rdbuf();
        target = parseTargetTable(bytes.str(), text);
        return true;
    } catch (const TargetError& e) {
        throw UsageError("--target", e.what());
    }
}

std::string targetVerdict(const TargetCheck& c, const TargetSettings& s) {
    std::size_t outside = 0;
    for (const TargetPointCheck& p : c.points) outside += p.marginDb >= 0.0 ? 0 : 1;
    const std::string band =
        humanText(-s.tolerance.lowDb, 6) + "," + humanText(s.tolerance.highDb, 6) + " dB";
    const std::string where = " dB at " + humanText(c.worstFrequencyHz, 6) + " Hz";
    if (c.passed()) {
        return "PASS: spectrum within " + band + " of the target at all " +
               std::to_string(c.points.size()) + " frequencies, smallest margin " +
               humanText(c.worstMarginDb, 3) + where;
    }
    return "FAIL: spectrum outside " + band + " of the target at " + std::to_string(outside) +
           " of " + std::to_string(c.points.size()) + " frequencies, worst margin " +
           humanText(c.worstMarginDb, 3) + where;
}

ordered_json targetJson(const TargetCheck& c, const TargetSettings& s) {
    ordered_json breakpoints = ordered_json::array();
    for (const TargetBreakpoint& p : s.target.points)
        breakpoints.push_back({p.frequencyHz, p.level});
    ordered_json frequencies = ordered_json::array();
    for (const TargetPointCheck& p : c.points) {
        frequencies.push_back({{"frequency_hz", p.frequencyHz},
                               {"target", p.target},
                               {"achieved", p.achieved},
                               {"error_db", p.errorDb},
                               {"margin_db", p.marginDb}});
    }
    return {{"pass", c.passed()},
            {"target", std::move(breakpoints)},
            {"tolerance", {{"low_db", s.tolerance.lowDb}, {"high_db", s.tolerance.highDb}}},
            {"q", s.q},
            {"per_octave", s.perOctave},
            {"worst",
             {{"frequency_hz", c.worstFrequencyHz},
              {"margin_db", c.worstMarginDb},
              {"lowest_error_db", c.worstLowDb},
              {"highest_error_db", c.worstHighDb}}},
            {"frequencies", std::move(frequencies)}};
}

}  // namespace korvex::cli
