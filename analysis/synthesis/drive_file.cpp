#include "analysis/synthesis/drive_file.h"

#include <string>

#include "pulse/number_text.h"
#include "pulse/time_history.h"

namespace korvex {
namespace {

void writeCsv(OutputSink& sink, const std::vector<double>& drive, double interval) {
    std::string text = "time_s,acceleration\n";
    for (std::size_t i = 0; i < drive.size(); ++i) {
        text += shortestText(static_cast<double>(i) * interval);
        text += ',';
        text += shortestText(drive[i]);
        text += '\n';
        if (text.size() > (1 << 16) || i + 1 == drive.size()) {
            sink.write(text.data(), text.size());
            text.clear();
        }
    }
}

}  // namespace

void writeDrive(OutputSink& sink, const std::vector<double>& drive, double intervalS,
                DriveFormat format) {
    if (format == DriveFormat::Csv) return writeCsv(sink, drive, intervalS);
    writeSampledTimeHistory(sink, static_cast<int>(drive.size()),
                            [&](int first, int end, double* t, double* v) {
                                for (int i = first; i < end; ++i) {
                                    t[i - first] = static_cast<double>(i) * intervalS;
                                    v[i - first] = drive[static_cast<std::size_t>(i)];
                                }
                            });
}

}  // namespace korvex
