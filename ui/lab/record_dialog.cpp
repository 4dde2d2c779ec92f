#include "ui/lab/record_dialog.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <string>
#include <vector>

#include "plot/plot_text.h"
#include "pulse/number_text.h"
#include "ui/lab/read_questions.h"

namespace korvex {

RecordDialog::RecordDialog(const QString& fileName, const RecordLayout& layout, QWidget* parent)
    : QDialog(parent), m_layout(layout) {
    setWindowTitle(tr("Open Record"));
    auto* about = new QLabel(tr("%1: %2 columns%3. First line:")
                                 .arg(fileName)
                                 .arg(layout.columns)
                                 .arg(layout.names.isEmpty() ? tr(", no header line") : QString()));
    about->setWordWrap(true);
    auto* first = new QLabel(layout.firstLine.left(120));
    first->setTextFormat(Qt::PlainText);
    first->setStyleSheet(QStringLiteral("font-family: monospace; color: #404040"));

    const auto columnName = [&](int i) {
        return layout.names.isEmpty() ? tr("column %1").arg(i + 1)
                                      : tr("%1 (column %2)").arg(layout.names[i]).arg(i + 1);
    };
    m_value = new QComboBox;
    m_value->setObjectName(QStringLiteral("recordValueColumn"));
    m_time = new QComboBox;
    m_time->setObjectName(QStringLiteral("recordTimeColumn"));
    for (int i = 0; i < layout.columns; ++i) {
        m_value->addItem(columnName(i), i + 1);
        m_time->addItem(columnName(i), i + 1);
    }
    m_time->addItem(tr("none: evenly sampled"), 0);
    m_rate = new QLineEdit;
    m_rate->setObjectName(QStringLiteral("recordRate"));
    m_rate->setPlaceholderText(tr("samples per second"));
    auto* seconds = new QRadioButton(tr("seconds"));
    auto* ms = new QRadioButton(tr("milliseconds"));
    m_unit = new QButtonGroup(this);
    m_unit->addButton(seconds, 0);
    m_unit->addButton(ms, 1);
    auto* units = new QHBoxLayout;
    units->addWidget(seconds);
    units->addWidget(ms);
    units->addStretch(1);
    m_problem = new QLabel;
    m_problem->setStyleSheet(QStringLiteral("color: #b00020"));
    m_problem->setWordWrap(true);

    auto* form = new QFormLayout;
    // The labels a reader's message names the settings by.
    const auto label = [](ReadSetting s) { return QString::fromStdString(windowSettingLabel(s)); };
    form->addRow(label(ReadSetting::ValueColumn), m_value);
    form->addRow(label(ReadSetting::TimeColumn), m_time);
    form->addRow(label(ReadSetting::TimeUnit), units);
    form->addRow(label(ReadSetting::Rate), m_rate);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Open | QDialogButtonBox::Cancel);
    m_open = buttons->button(QDialogButtonBox::Open);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layoutBox = new QVBoxLayout(this);
    layoutBox->addWidget(about);
    layoutBox->addWidget(first);
    layoutBox->addLayout(form);
    layoutBox->addWidget(m_problem);
    layoutBox->addWidget(buttons);

    // The reader's defaults, or the last choices where this file has them.
    QSettings s = userSettings();
    const int columns = layout.columns;
    const auto remembered = [&](const char* key, int fallback) {
        const int v = s.value(QLatin1String(key), fallback).toInt();
        return v >= 0 && v <= columns ? v : fallback;
    };
    const int time = remembered("record/timeColumn", columns >= 2 ? 1 : 0);
    m_time->setCurrentIndex(time == 0 ? columns : time - 1);
    const int value = remembered("record/valueColumn", columns >= 2 ? 2 : 1);
    m_value->setCurrentIndex(std::max(0, value - 1));
    const bool inMs = layout.headerUnit ? *layout.headerUnit == RecordTimeUnit::Milliseconds
                                        : s.value(QStringLiteral("record/ms"), false).toBool();
    (inMs ? ms : seconds)->setChecked(true);
    m_rate->setText(s.value(QStringLiteral("record/rate"), QString()).toString());

    connect(m_time, &QComboBox::currentIndexChanged, this, &RecordDialog::update);
    connect(m_value, &QComboBox::currentIndexChanged, this, &RecordDialog::update);
    connect(m_rate, &QLineEdit::textChanged, this, &RecordDialog::update);
    connect(this, &QDialog::accepted, this, [this] {
        QSettings settings = userSettings();
        settings.setValue(QStringLiteral("record/timeColumn"), m_time->currentData().toInt());
        settings.setValue(QStringLiteral("record/valueColumn"), m_value->currentData().toInt());
        settings.setValue(QStringLiteral("record/ms"), m_unit->checkedId() == 1);
        settings.setValue(QStringLiteral("record/rate"), m_rate->text().trimmed());
    });
    update();
}

void RecordDialog::update() {
    const bool none = m_time->currentData().toInt() == 0;
    m_rate->setEnabled(none);
    for (QAbstractButton* b : m_unit->buttons()) b->setEnabled(!none);
    QString problem;
    if (!none && m_time->currentData() == m_value->currentData()) {
        problem = tr("The time and the values cannot be the same column.");
    } else if (none) {
        const std::optional<double> rate = parseStrictNumber(plain(m_rate));
        if (!(rate && *rate > 0)) problem = tr("Give the samples per second.");
    }
    m_problem->setText(problem);
    m_open->setEnabled(problem.isEmpty());
}

ReadOptions RecordDialog::options() const {
    ReadOptions o;
    o.valueColumn = std::to_string(m_value->currentData().toInt());
    const int time = m_time->currentData().toInt();
    if (time == 0) {
        o.timeColumn = "none";
        o.rateHz = parseStrictNumber(plain(m_rate));
    } else {
        o.timeColumn = std::to_string(time);
        o.timeUnit =
            m_unit->checkedId() == 1 ? RecordTimeUnit::Milliseconds : RecordTimeUnit::Seconds;
    }
    return o;
}

}  // namespace korvex
