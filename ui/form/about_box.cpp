#include "ui/form/about_box.h"

#include <QPushButton>

#include "ui/form/qt_template.h"

// The icons are compiled into a static library, whose resources must be
// registered by hand (outside any namespace).
static void initResources() {
    Q_INIT_RESOURCE(korvex);
}

namespace korvex {

QIcon applicationIcon() {
    static const bool registered = (initResources(), true);
    (void)registered;
    QIcon icon;
    icon.addFile(QStringLiteral(":/korvex/korvex-32.png"), QSize(32, 32));
    icon.addFile(QStringLiteral(":/korvex/korvex-16.png"), QSize(16, 16));
    return icon;
}

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    buildFromTemplate(*this, aboutDialogTemplate(), applicationIcon());
    connect(findChild<QPushButton*>(controlName(IDOK)), &QPushButton::clicked, this,
            &QDialog::accept);
}

}  // namespace korvex
