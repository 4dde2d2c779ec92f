// The one helper set every settings row and panel is built from: edits read
// strictly as korvex-cli reads its options, rows, messages, a typing pause,
// Enter that applies, and the note on settings kept from the last session.
#pragma once

#include <QString>

#include <functional>
#include <initializer_list>
#include <optional>
#include <string>

class QHBoxLayout;
class QLabel;
class QLineEdit;
class QObject;
class QTimer;
class QWidget;

namespace korvex {

// The style of an edit whose text does not pass.
QString badBorder();

QLineEdit* settingEdit(const char* name, const QString& placeholder, const QString& tip,
                       int width = 44);
// A red, wrapping message under the edits, hidden while empty.
QLabel* messageLabel();
// A row of widgets, left-aligned.
QHBoxLayout* settingRow(std::initializer_list<QWidget*> widgets);
QLabel* rowText(const QString& s);
// A bordered panel named `name`.
void framePanel(QWidget* panel, const QString& name);

// Typing waits a moment, so that "1" on the way to "12" starts nothing.
QTimer* typingPause(QObject* owner);
// Enter in `edit` runs `apply` and goes no further: in the dialog it would
// press Calculate.
void enterApplies(QLineEdit* edit, QObject* owner, std::function<void()> apply);

// "<name>: "<text>" is not a finite decimal number", korvex-cli's words.
QString notANumberText(const QString& name, const std::string& text);

// The edit's number, or none when empty; `problem` names it, in
// korvex-cli's words, when it does not read as one (and the edit is marked).
std::optional<double> strictNumber(QLineEdit* e, const QString& name, QString& problem);

// "Kept from your last session": shown when a panel starts from remembered
// values rather than the program's own.
QLabel* carriedOverNote();

}  // namespace korvex
