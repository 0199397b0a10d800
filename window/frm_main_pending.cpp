// Handlers whose work is still to be built; each moves to the file of its concern when it
// is.
#include "window/frm_main.h"

namespace vx414 {

void frmMain::Form_Resize() {}
void frmMain::Form_MouseMove() {}
void frmMain::CODESearch_Change() {}
void frmMain::Link_MouseMove() {}
void frmMain::Glossary_MouseMove() {}
void frmMain::Help_MouseMove() {}
void frmMain::About_MouseMove() {}
void frmMain::EXITcmd_MouseMove() {}

}  // namespace vx414
