// The lines after the header as pieces of whole lines, read by the threads
// of pulse/parallel.h straight into their places in the sample arrays.
#pragma once

#include <vector>

#include "analysis/record.h"
#include "analysis/record/text/plain_line.h"
#include "analysis/record_reader.h"

namespace korvex::text {

// Reads [bodyBegin, textEnd) into channel.values (and channel.time where the
// layout has a time field), the gaps skipped lines left closed. Returns the
// pieces with what each found: faults, decimal marks, steps.
std::vector<Chunk> readChunks(const Layout& layout, const char* bodyBegin, const char* textEnd,
                              const ReadOptions& options, detail::ReadPath path, Channel& channel);

}  // namespace korvex::text
