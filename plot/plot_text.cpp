#include "plot/plot_text.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>

#include <cmath>

#include "pulse/number_text.h"

namespace korvex {

QString number(double x, int digits) {
    if (std::isnan(x)) return QStringLiteral("not a number");
    return QString::fromStdString(humanText(x, digits));
}

QSettings userSettings() {
    return QSettings(QSettings::UserScope, QStringLiteral("korvex"), QStringLiteral("korvex"));
}

std::string plain(const QLineEdit* edit) {
    return edit->text().trimmed().toStdString();
}

QLabel* statusLine() {
    auto* label = new QLabel;
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setContentsMargins(6, 0, 6, 0);
    label->setWordWrap(true);  // never cut, never widens the window
    return label;
}

QString hintText() {
    return QApplication::translate(
        "korvex::PreviewPane",
        "Wheel or drag: zoom \u00b7 Shift+drag: pan \u00b7 double\u2011click: all");
}

TimeUnitText timeUnitText(TimeUnit unit) {
    if (unit == TimeUnit::Milliseconds) return {1000.0, QStringLiteral("ms")};
    return {1.0, QStringLiteral("s")};
}

}  // namespace korvex
