// The shock response spectrum as a text table, the same from korvex-cli
// and from the window.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "analysis/motion.h"
#include "analysis/srs.h"

namespace korvex {

// A commented header (what, Q, range, units, columns), then one line per
// frequency: frequency_hz positive negative maximax, shortest round-trip
// numbers separated by one blank. `input` names the base input ("the pulse
// record"). With an acceleration unit, pseudo-velocity is given in m/s and
// displacement in mm; acceleration stays in the record's own units.
std::string formatSrsTable(const SrsPlan& plan, const std::vector<SrsPoint>& points,
                           const std::string& input = "the pulse record",
                           std::optional<AccelerationUnit> unit = std::nullopt);

// Several channels' spectra at the plan's frequencies, one column set each
// named NAME_positive, NAME_negative, NAME_maximax (blanks in a name become
// '_'); `note` is comment lines put before the columns line, or "".
struct SrsChannel {
    std::string name;
    std::vector<SrsPoint> points;  // one per frequency of the plan
};
std::string formatSrsTable(const SrsPlan& plan, const std::vector<SrsChannel>& channels,
                           const std::string& input, std::optional<AccelerationUnit> unit,
                           const std::string& note);

// A channel's name as one word of a table's columns line.
std::string columnName(const std::string& name);

}  // namespace korvex
