#include "cli/check_series.h"

#include <nlohmann/json.hpp>

#include <iostream>

#include "analysis/check/series.h"
#include "cli/output_files.h"
#include "cli/record_arguments.h"
#include "cli/trust_outputs.h"
#include "cli/usage.h"

namespace korvex::cli {

using nlohmann::ordered_json;

namespace {

// The record's reports, or why it was not read or checked (said on standard
// error with the file's name).
struct RecordResult {
    std::vector<CheckedPart> parts;
    std::string error;
    int status = kExitDone;
};

RecordResult checkOneFile(const std::string& file, const ReadOptions& readOptions,
                          const CheckOptions& options,
                          std::vector<std::vector<double>>& conditioned) {
    RecordResult r;
    try {
        const Record record = readRecord(file, readOptions);
        for (const std::string& note : record.notes) {
            std::cerr << "korvex-cli: " << file << ": note: " << note << '\n';
        }
        r.parts = checkRecordParts(record, file, options, conditioned);
    } catch (const RecordError& e) {
        r.error = e.messageWith(flagOf);
        if (e.kind() == RecordError::Kind::Unreadable) r.error = "cannot read " + r.error;
        r.status = kExitUsage;
    } catch (const UsageError& e) {
        r.error = e.what();
        r.status = kExitUsage;
    }
    return r;
}

}  // namespace

int runSeries(const std::vector<std::string>& files, const ReadOptions& readOptions,
              const CheckOptions& options, const SeriesOutputs& outputs) {
    std::vector<SeriesRow> rows;
    ordered_json records = ordered_json::array();
    int status = kExitDone;
    for (const std::string& file : files) {
        std::vector<std::vector<double>> conditioned;
        const RecordResult r = checkOneFile(file, readOptions, options, conditioned);
        if (r.status != kExitDone) {
            std::cerr << "korvex-cli: " << file << ": NOT READ: " << r.error << '\n';
            rows.push_back(unreadRow(file, r.error));
            records.push_back({{"source", file}, {"error", r.error}});
            status = kExitUsage;
            continue;
        }
        for (const CheckedPart& part : r.parts) {
            for (const DataWarning& w : part.warnings) {
                std::cerr << "korvex-cli: " << file << ": warning: " << w.message << '\n';
            }
            for (const std::string& line : partVerdicts(part, options, file)) {
                std::cerr << "korvex-cli: " << file
                          << (part.label.empty() ? ": " : " " + part.label) << line << '\n';
            }
            rows.push_back(seriesRow(file, part.column, options.pulseCheck ? &part.report : nullptr,
                                     part.target ? &*part.target : nullptr, part.achieved,
                                     part.warnings));
            if (!part.pass && status == kExitDone) status = kExitCheckFailed;
        }
        records.push_back(ordered_json::parse(partsJson(r.parts)));
    }
    const SeriesCounts counts = seriesCounts(rows);
    std::cerr << "korvex-cli: " << seriesCountsText(counts) << '\n';

    bool ok = true;
    if (!outputs.report.empty()) {
        const ordered_json j = {{"records", std::move(records)},
                                {"counts",
                                 {{"records", counts.records},
                                  {"pass", counts.pass},
                                  {"fail", counts.fail},
                                  {"not_read", counts.notRead}}}};
        ok &= writeText(outputs.report, j.dump(2) + "\n");
    }
    if (!outputs.table.empty()) ok &= writeText(outputs.table, seriesCsv(rows));
    return ok ? status : kExitNotWritten;
}

}  // namespace korvex::cli
