// The main window: the pulse form with the side pane in the room beside it.
#pragma once

namespace korvex {

class CPulseDlg;
class SidePane;

// Makes the side pane, places it right of the form and wires the two; the
// dialog owns it.
SidePane* attachSidePane(CPulseDlg& dlg);

}  // namespace korvex
