// The words and numbers every part of the window shares: numbers for people,
// the time unit the form chose, remembered settings and the chart hint.
#pragma once

#include <QSettings>
#include <QString>

#include <string>

#include "pulse/pulse_series.h"

class QLabel;
class QLineEdit;

namespace korvex {

// Six significant digits, with a decimal point whatever the locale.
QString number(double x, int digits = 6);

// The user's remembered settings.
QSettings userSettings();

// An edit's text without the blanks around it.
std::string plain(const QLineEdit* edit);

// A selectable, wrapping line of plain text under a chart.
QLabel* statusLine();

// What the mouse does on a chart.
QString hintText();

// Seconds shown in the form's time unit: `scale` chart units per second.
struct TimeUnitText {
    double scale = 1.0;
    QString name = QStringLiteral("s");
    QString of(double seconds, int digits = 6) const { return number(seconds * scale, digits); }
};
TimeUnitText timeUnitText(TimeUnit unit);

}  // namespace korvex
