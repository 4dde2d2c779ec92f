#include "ui/pulse_app.h"

#include "ui/pulse_dialog.h"
#include "ui/qt_platform.h"

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
    platform.setParent(&dlg);
    m_pMainWnd = &dlg;
    dlg.exec();
    m_pMainWnd = nullptr;
    return false;
}

}  // namespace korvex
