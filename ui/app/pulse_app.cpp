#include "ui/app/pulse_app.h"

#include "ui/app/main_window.h"
#include "ui/form/pulse_dialog.h"
#include "ui/form/qt_platform.h"

namespace korvex {

CPulseApp::CPulseApp(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("korvex"));
    setApplicationVersion(QStringLiteral(KORVEX_VERSION));
    setOrganizationName(QString());
    setDesktopFileName(QStringLiteral("org.korvex.korvex"));
    setWindowIcon(applicationIcon());
}

bool CPulseApp::InitInstance() {
    QtPulsePlatform platform;
    CPulseDlg dlg(platform);
    attachSidePane(dlg);
    platform.setParent(&dlg);
    m_pMainWnd = &dlg;
    dlg.exec();
    m_pMainWnd = nullptr;
    return false;
}

}  // namespace korvex
