// korvex-cli check FILE FILE...: a test series, every record checked against
// the same plan, one line each, the counts, and on request a table and one
// report holding them all.
#pragma once

#include <string>
#include <vector>

#include "analysis/record_reader.h"
#include "cli/check_channels.h"

namespace korvex::cli {

struct SeriesOutputs {
    std::string report, table;
};

// 0 all pass, 3 one fails, 2 one could not be read or checked (2 wins over
// 3), 1 an output not written.
int runSeries(const std::vector<std::string>& files, const ReadOptions& readOptions,
              const CheckOptions& options, const SeriesOutputs& outputs);

}  // namespace korvex::cli
