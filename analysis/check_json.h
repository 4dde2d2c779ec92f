// The check's report as one JSON object, the same from korvex-cli and the
// window.
#pragma once

#include <string>

#include "analysis/check/test_plan.h"
#include "analysis/tolerance_check.h"

namespace korvex {

// pass, offset_s, reason (or null), window_short_by_s, inverted, alignment,
// band, velocity_change, srs (or null), settings, and what was checked:
// `source` and `column` name the record, and `plan`, when given, is carried
// as "plan". Written by analysis/check/report_json.cpp.
std::string checkReportJson(const CheckReport& report, const std::string& source,
                            const std::string& column, const TestPlan* plan = nullptr);

}  // namespace korvex
