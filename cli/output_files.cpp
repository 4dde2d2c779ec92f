#include "cli/output_files.h"

#include <iostream>
#include <memory>

#include "cli/usage.h"
#include "pulse/file_sink.h"
#include "pulse/number_text.h"

namespace korvex::cli {

void requireDistinctOutputs(const std::vector<OutputRequest>& outputs) {
    std::vector<std::pair<const OutputRequest*, OutputIdentity>> seen;
    for (const OutputRequest& o : outputs) {
        if (o.path.empty()) continue;
        OutputIdentity id = identifyOutput(o.path);
        for (const auto& [other, otherId] : seen) {
            if (!sameOutput(id, otherId)) continue;
            const bool stdout = id.fd == 1 && otherId.fd == 1;
            throw UsageError(
                other->option + " and " + o.option,
                stdout ? "both would write to standard output; only one of them can"
                       : "both name the same file, " + quotedText(o.path) + "; give each its own");
        }
        seen.emplace_back(&o, std::move(id));
    }
}

bool writeOutput(const std::string& path, const std::function<void(OutputSink&)>& fill) {
    try {
        std::unique_ptr<FileSink> sink =
            path == "-" ? FileSink::standardOutput() : std::make_unique<FileSink>(path);
        fill(*sink);
        sink->close();
        return true;
    } catch (const FileError& e) {
        std::cerr << "korvex-cli: cannot write " << e.path() << ": " << e.reason() << '\n';
        return false;
    }
}

bool writeText(const std::string& path, const std::string& text) {
    return writeOutput(path, [&text](OutputSink& sink) { sink.write(text.data(), text.size()); });
}

}  // namespace korvex::cli
