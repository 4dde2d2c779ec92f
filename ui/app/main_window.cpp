#include "ui/app/main_window.h"

#include "ui/app/side_pane.h"
#include "ui/form/pulse_dialog.h"

namespace korvex {

SidePane* attachSidePane(CPulseDlg& dlg) {
    auto* pane = new SidePane;
    // Made after the form's controls, so that it ends their Tab chain.
    dlg.setPane(pane, pane, pane->panelDock());
    return pane;
}

}  // namespace korvex
