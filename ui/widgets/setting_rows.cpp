#include "ui/widgets/setting_rows.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

#include "plot/plot_text.h"
#include "pulse/number_text.h"

namespace korvex {
namespace {

class EnterApplies : public QObject {
  public:
    EnterApplies(QObject* parent, std::function<void()> apply)
        : QObject(parent), m_apply(std::move(apply)) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                m_apply();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    std::function<void()> m_apply;
};

}  // namespace

QString badBorder() {
    return QStringLiteral("border: 1px solid #b00020");
}

QLineEdit* settingEdit(const char* name, const QString& placeholder, const QString& tip,
                       int width) {
    auto* e = new QLineEdit;
    e->setObjectName(QLatin1String(name));
    e->setPlaceholderText(placeholder);
    e->setToolTip(tip);
    e->setFixedWidth(width);
    return e;
}

QLabel* messageLabel() {
    auto* label = new QLabel;
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setStyleSheet(QStringLiteral("color: #b00020"));
    label->hide();
    return label;
}

QHBoxLayout* settingRow(std::initializer_list<QWidget*> widgets) {
    auto* line = new QHBoxLayout;
    line->setSpacing(3);
    for (QWidget* w : widgets) line->addWidget(w);
    line->addStretch(1);
    return line;
}

QLabel* rowText(const QString& s) {
    return new QLabel(s);
}

void framePanel(QWidget* panel, const QString& name) {
    panel->setObjectName(name);
    panel->setAttribute(Qt::WA_StyledBackground);
    panel->setStyleSheet(
        QStringLiteral("#%1 { border: 1px solid #c4c4c4; border-radius: 3px }").arg(name));
}

QTimer* typingPause(QObject* owner) {
    auto* timer = new QTimer(owner);
    timer->setSingleShot(true);
    timer->setInterval(400);
    return timer;
}

void enterApplies(QLineEdit* edit, QObject* owner, std::function<void()> apply) {
    edit->installEventFilter(new EnterApplies(owner, std::move(apply)));
}

QString notANumberText(const QString& name, const std::string& text) {
    return name + QStringLiteral(": ") + QString::fromStdString(quotedText(text)) +
           QStringLiteral(" is not a finite decimal number");
}

std::optional<double> strictNumber(QLineEdit* e, const QString& name, QString& problem) {
    const std::string t = plain(e);
    if (t.empty()) return std::nullopt;
    const std::optional<double> v = parseStrictNumber(t);
    if (!v && problem.isEmpty()) {
        problem = notANumberText(name, t);
        e->setStyleSheet(badBorder());
    }
    return v;
}

QLabel* carriedOverNote() {
    auto* note = new QLabel(QLabel::tr("Kept from your last session"));
    note->setObjectName(QStringLiteral("carriedOver"));
    note->setStyleSheet(QStringLiteral("color: #5a5a5a; font-style: italic"));
    note->hide();
    return note;
}

}  // namespace korvex
