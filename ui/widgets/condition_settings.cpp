#include "ui/widgets/condition_settings.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

#include <cmath>

#include "ui/widgets/setting_rows.h"

namespace korvex {
namespace {

QString tr(const char* s) {
    return QCoreApplication::translate("korvex::CheckPanel", s);
}

}  // namespace

ConditionEdits conditionEdits() {
    ConditionEdits e;
    e.offset = new QComboBox;
    e.offset->setObjectName(QStringLiteral("checkOffset"));
    e.offset->addItem(tr("none"), QStringLiteral("none"));
    e.offset->addItem(tr("pre-trigger mean"), QStringLiteral("pre"));
    e.offset->addItem(tr("whole-record mean"), QStringLiteral("mean"));
    e.offset->setToolTip(
        tr("Offset removed first: the mean before the pulse, of the whole "
           "record, or none"));
    e.lowPass = new QComboBox;
    e.lowPass->setEditable(true);
    e.lowPass->setInsertPolicy(QComboBox::NoInsert);
    e.lowPass->addItems({QString(), QStringLiteral("CFC60"), QStringLiteral("CFC180"),
                         QStringLiteral("CFC600"), QStringLiteral("CFC1000")});
    e.lowPass->lineEdit()->setObjectName(QStringLiteral("checkLowPass"));
    e.lowPass->lineEdit()->setPlaceholderText(tr("off"));
    e.lowPass->setToolTip(
        tr("Low pass before the figures, the spectra and the check: a channel "
           "frequency class or a corner in Hz, run both ways; empty: none"));
    e.lowPass->setMinimumContentsLength(7);
    e.highPass = settingEdit("checkHighPass", tr("off"),
                             tr("High pass in Hz for velocity and displacement, run both ways; "
                                "empty: none"));
    return e;
}

QHBoxLayout* conditionRow(const ConditionEdits& e) {
    return settingRow({rowText(tr("Offset")), e.offset, rowText(tr("low pass")), e.lowPass,
                       rowText(tr("high pass")), e.highPass, rowText(tr("Hz"))});
}

std::optional<ConditionSettings> readCondition(const ConditionEdits& e, QString& problem) {
    ConditionSettings s;
    const QString offset = e.offset->currentData().toString();
    s.offset = offset == QStringLiteral("pre")    ? OffsetMethod::PreTrigger
               : offset == QStringLiteral("mean") ? OffsetMethod::Mean
                                                  : OffsetMethod::None;
    QLineEdit* low = e.lowPass->lineEdit();
    const QString text = low->text().trimmed();
    if (!text.isEmpty()) {
        LowPassChoice c{text.toStdString(), 0, 0};
        static const QStringList classes = {QStringLiteral("CFC60"), QStringLiteral("CFC180"),
                                            QStringLiteral("CFC600"), QStringLiteral("CFC1000")};
        if (classes.contains(text)) {
            c.classHz = text.mid(3).toDouble();
        } else {
            QString unused;
            const std::optional<double> hz = strictNumber(low, tr("Low pass"), unused);
            if (!hz || !(*hz > 0) || !std::isfinite(*hz)) {
                low->setStyleSheet(badBorder());
                if (problem.isEmpty()) {
                    problem = tr("Low pass: must be CFC60, CFC180, CFC600, CFC1000 or a frequency "
                                 "in Hz greater than 0, got %1")
                                  .arg(text);
                }
                return std::nullopt;
            }
            c.cornerHz = *hz;
        }
        s.lowPass = c;
    }
    if (const std::optional<double> hz = strictNumber(e.highPass, tr("High pass"), problem)) {
        if (!(*hz > 0)) {
            e.highPass->setStyleSheet(badBorder());
            if (problem.isEmpty()) {
                problem = tr("High pass: must be greater than 0, got %1")
                              .arg(e.highPass->text().trimmed());
            }
            return std::nullopt;
        }
        s.highPassHz = *hz;
    } else if (!e.highPass->text().trimmed().isEmpty()) {
        return std::nullopt;
    }
    return s;
}

}  // namespace korvex
