#include "analysis/check/series.h"

#include "pulse/number_text.h"

namespace korvex {

namespace {

void addReason(std::string& reason, const char* code) {
    if (!reason.empty()) reason += ';';
    reason += code;
}

std::string csvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + '"';
}

std::string csvNumber(const std::optional<double>& value) {
    return value ? shortestText(*value) : std::string();
}

// The nominal pulse's part of a row.
void addPulseCheck(SeriesRow& row, const CheckReport& r) {
    row.pass &= r.pass;
    if (!r.pass) {
        const char* code = checkReasonCode(r.reason);
        if (code[0] != '\0') addReason(row.reason, code);
        if (!r.band.pass) addReason(row.reason, "band");
        if (!r.velocity.pass) addReason(row.reason, "velocity_change");
        if (r.srs && !r.srs->pass) addReason(row.reason, "srs");
    }
    row.bandMargin = r.band.worstMargin;
    row.velocityRatio = r.velocity.ratio;
    if (r.srs) row.spectrumMarginDb = r.srs->marginDb;
}

}  // namespace

SeriesRow seriesRow(const std::string& file, const std::string& channel, const CheckReport* report,
                    const TargetCheck* target, const AchievedPulse& achieved,
                    const std::vector<DataWarning>& warnings) {
    SeriesRow row;
    row.file = file;
    row.channel = channel;
    row.pass = true;
    if (report != nullptr) addPulseCheck(row, *report);
    if (target != nullptr) {
        row.pass &= target->passed();
        if (!target->passed()) addReason(row.reason, "spectrum_target");
        row.spectrumMarginDb = target->worstMarginDb;
    }
    if (achieved.found) {
        row.peak = achieved.peak;
        row.durationS = achieved.durationS;
    }
    for (const DataWarning& w : warnings) row.warnings.push_back(w.code);
    return row;
}

SeriesRow unreadRow(const std::string& file, const std::string& why) {
    SeriesRow row;
    row.file = file;
    row.read = false;
    row.reason = why;
    return row;
}

SeriesCounts seriesCounts(const std::vector<SeriesRow>& rows) {
    SeriesCounts c;
    for (std::size_t k = 0; k < rows.size();) {
        std::size_t end = k;
        bool read = true, pass = true;
        while (end < rows.size() && rows[end].file == rows[k].file) {
            read &= rows[end].read;
            pass &= rows[end].pass;
            ++end;
        }
        ++c.records;
        if (!read) {
            ++c.notRead;
        } else if (pass) {
            ++c.pass;
        } else {
            ++c.fail;
        }
        k = end;
    }
    return c;
}

std::string seriesCountsText(const SeriesCounts& c) {
    std::string text = std::to_string(c.records) + (c.records == 1 ? " record: " : " records: ") +
                       std::to_string(c.pass) + " pass, " + std::to_string(c.fail) + " fail";
    if (c.notRead > 0) text += ", " + std::to_string(c.notRead) + " not read";
    return text;
}

std::string seriesCsv(const std::vector<SeriesRow>& rows) {
    std::string out =
        "file,channel,pass,reason,band_margin,velocity_ratio,spectrum_margin_db,peak,"
        "duration_s,warnings\n";
    for (const SeriesRow& r : rows) {
        std::string warnings;
        for (const std::string& w : r.warnings) warnings += (warnings.empty() ? "" : ";") + w;
        out += csvField(r.file) + ',' + csvField(r.channel) + ',' +
               (r.read ? (r.pass ? "pass" : "fail") : "not read") + ',' + csvField(r.reason) + ',' +
               csvNumber(r.bandMargin) + ',' + csvNumber(r.velocityRatio) + ',' +
               csvNumber(r.spectrumMarginDb) + ',' + csvNumber(r.peak) + ',' +
               csvNumber(r.durationS) + ',' + csvField(warnings) + '\n';
    }
    return out;
}

}  // namespace korvex
