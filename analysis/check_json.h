// The check's report as one JSON object, the same from korvex-cli and the
// window.
#pragma once

#include <string>

#include "analysis/tolerance_check.h"

namespace korvex {

// pass, offset_s, band, velocity_change, srs (or null), settings, and what
// was checked: `source` and `column` name the record.
std::string checkReportJson(const CheckReport& report, const std::string& source,
                            const std::string& column);

}  // namespace korvex
