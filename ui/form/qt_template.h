// Builds a Qt dialog from a dialog template table.
#pragma once

#include <QFont>
#include <QString>

#include "ui/form/dialog_template.h"

class QDialog;
class QIcon;
class QLabel;

namespace korvex {

// The nearest sans-serif dialog font at `pointSize`.
QFont dialogFont(int pointSize);

BaseUnits baseUnits(const QFont& font);

// The objectName of the control with identifier `id`.
QString controlName(int id);

// Widens a label to its text, never narrower than its template width.
void fitLabelToText(QLabel& label);

// Sets the caption, font and fixed size, and creates the controls in
// template order (so that this is the tab order). Icon controls show `icon`.
void buildFromTemplate(QDialog& dialog, const DialogTemplate& t, const QIcon& icon);

}  // namespace korvex
