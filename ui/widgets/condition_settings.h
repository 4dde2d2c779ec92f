// The conditioning settings row of the check panel: offset, low pass and the
// motion's high pass, read strictly and in korvex-cli analyse's words.
#pragma once

#include <QString>

#include <optional>

#include "analysis/condition/conditioning.h"

class QComboBox;
class QHBoxLayout;
class QLineEdit;

namespace korvex {

struct ConditionEdits {
    QComboBox* offset = nullptr;   // none, pre, mean
    QComboBox* lowPass = nullptr;  // editable: a class or a corner in Hz
    QLineEdit* highPass = nullptr;
};

// The edits, their line edits named checkLowPass and checkHighPass.
ConditionEdits conditionEdits();
QHBoxLayout* conditionRow(const ConditionEdits& edits);

// The settings typed, as korvex-cli's --offset, --lowpass and --highpass
// read them; none (and `problem` set, the edit marked) when one does not.
std::optional<ConditionSettings> readCondition(const ConditionEdits& edits, QString& problem);

}  // namespace korvex
