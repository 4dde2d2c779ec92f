// The shock response spectrum as a text table, the same from korvex-cli
// and from the window.
#pragma once

#include <string>
#include <vector>

#include "analysis/srs.h"

namespace korvex {

// A commented header (what, Q, range, units, columns), then one line per
// frequency: frequency_hz positive negative maximax, shortest round-trip
// numbers separated by one blank.
std::string formatSrsTable(const SrsPlan& plan, const std::vector<SrsPoint>& points);

}  // namespace korvex
