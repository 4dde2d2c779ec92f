// korvex-cli's outputs: checked against each other before anything is
// written, then each written whole or reported.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "pulse/output_sink.h"

namespace korvex::cli {

struct OutputRequest {
    std::string option;  // "--output"
    std::string path;    // "" when not given, "-" for standard output
};

// Throws UsageError naming both options when two outputs would write to
// the same file (by path, descriptor, or device and inode).
void requireDistinctOutputs(const std::vector<OutputRequest>& outputs);

// Writes one output through the safe replace; a failure is reported on
// standard error and returns false.
bool writeOutput(const std::string& path, const std::function<void(OutputSink&)>& fill);
bool writeText(const std::string& path, const std::string& text);

}  // namespace korvex::cli
