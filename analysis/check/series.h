// A test series: many records checked against one plan, as rows (one per
// record and channel), the counts and a CSV table, shared by korvex-cli and
// any report that lists a series.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "analysis/synthesis/srs_target.h"
#include "analysis/tolerance_check.h"
#include "analysis/trust/achieved_pulse.h"
#include "analysis/trust/data_warnings.h"

namespace korvex {

struct SeriesRow {
    std::string file, channel;
    bool read = true;  // false: the record could not be read or checked
    bool pass = false;
    std::string reason;                // what failed, codes joined by ';', or why it was not read
    std::optional<double> bandMargin;  // fraction of the amplitude
    std::optional<double> velocityRatio;
    std::optional<double> spectrumMarginDb;
    std::optional<double> peak, durationS;  // the achieved pulse
    std::vector<std::string> warnings;      // codes
};

// A checked channel's row: reason "" on a pass, else the failures
// ("window_before", "band", "velocity_change", "srs", ...).
// `report` null: no nominal pulse was checked; `target` null: no required
// spectrum (its margin fills spectrum_margin_db, failing it "spectrum_target").
SeriesRow seriesRow(const std::string& file, const std::string& channel, const CheckReport* report,
                    const TargetCheck* target, const AchievedPulse& achieved,
                    const std::vector<DataWarning>& warnings);
// A record that could not be read or checked.
SeriesRow unreadRow(const std::string& file, const std::string& why);

// Per record (the rows of one file count once: failed when any of its rows
// fails, not read when it was not read).
struct SeriesCounts {
    std::size_t records = 0, pass = 0, fail = 0, notRead = 0;
};
SeriesCounts seriesCounts(const std::vector<SeriesRow>& rows);

// "18 records: 17 pass, 1 fail" and ", 1 not read" when any.
std::string seriesCountsText(const SeriesCounts& counts);

// The table with a header line; text fields quoted where they hold a
// comma, a quote or a line break (quotes doubled), numbers as the shortest
// text that reads back the same, an empty field where a value does not apply.
std::string seriesCsv(const std::vector<SeriesRow>& rows);

}  // namespace korvex
