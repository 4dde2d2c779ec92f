// What one piece of the Spectrum Test's background work hands back to the
// window: a drive, or a record's check against the target, or why neither.
#pragma once

#include <QString>

#include <memory>

#include "analysis/synthesis/synthesis.h"
#include "ui/drive/drive_window.h"

namespace korvex {

struct SpectrumTest::Job {
    bool record = false;  // a record's check, not a drive
    SynthesisSettings settings;
    std::unique_ptr<SynthesisResult> result;
    TargetCheck check;  // of the record
    QString recordName;
    QString error;  // why nothing came of it
};

}  // namespace korvex
