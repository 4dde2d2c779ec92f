// A record checked against the nominal pulse, as data and as words: what is
// checked (the request), what came of it (the outcome, with the band and the
// nominal to draw), and the texts the pane shows, in the form's time unit.
#pragma once

#include <QPointF>
#include <QString>

#include <optional>
#include <string>
#include <vector>

#include "analysis/check/test_plan.h"
#include "analysis/condition/conditioning.h"
#include "analysis/record_reader.h"
#include "analysis/tolerance_check.h"
#include "plot/plot_text.h"

namespace korvex {

// A record as read, with a time for every sample.
struct LoadedRecord {
    std::string source;  // as the reader names it
    Channel record;
    std::vector<double> time;    // seconds: the file's own, or start + i x interval
    std::vector<double> motion;  // what motion is integrated from, when not the values
};

// What to check a record against, and how to show it.
struct CheckRequest {
    CheckPulse pulse;
    CheckSettings settings;       // its spectrum settings also give the drawn spectra's
    TimeUnitText time;            // the form's unit
    TestPlan plan;                // the same, as korvex-cli's --save-plan writes it
    ConditionSettings condition;  // applied before everything else
    // Why it cannot be checked as it stands (settings that do not read),
    // and whether that is about the spectrum's settings.
    QString problem;
    bool problemInSpectrum = false;
};

// The check of one record, or why there is none.
struct CheckOutcome {
    std::optional<CheckReport> report;
    QString refusal;                    // why the record was not checked
    std::optional<CheckField> field;    // the check's input at fault
    bool spectrumSettings = false;      // the refusal is about the spectrum's settings
    std::vector<QPointF> lower, upper;  // the band, (seconds, value)
    std::size_t bandFirst = 0;          // the record's sample of the band's first row
    std::vector<double> nominalT, nominalY;
};

// The record's samples as the check sees them.
RecordView viewOf(const LoadedRecord& r);

// Checks `data` as korvex-cli check does; a refusal is an outcome too.
CheckOutcome checkOutcome(const LoadedRecord& data, const CheckRequest& request);

// korvex-cli's verdict in its own words, its time in the form's unit.
QString verdictText(const CheckReport& report, const TimeUnitText& time);
// "Not checked: <what>: <why>".
QString refusalText(const CheckOutcome& outcome, const QString& source);
// The check's figures, one line each, times in the form's unit.
QString checkFiguresText(const CheckReport& report, const TimeUnitText& time);

}  // namespace korvex
