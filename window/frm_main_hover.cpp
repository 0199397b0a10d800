// Hover highlighting of the command buttons, and re-fitting the definitions table when the
// window is resized.
#include "window/frm_main.h"

namespace vx414 {

void frmMain::ChangeColor(CommandButton* button)
{
    if (button->BackColor() != HoverColor)
        button->SetBackColor(HoverColor);
}

void frmMain::Link_MouseMove() { ChangeColor(Link); }
void frmMain::Glossary_MouseMove() { ChangeColor(Glossary); }
void frmMain::Help_MouseMove() { ChangeColor(Help); }
void frmMain::About_MouseMove() { ChangeColor(About); }
void frmMain::EXITcmd_MouseMove() { ChangeColor(EXITcmd); }

void frmMain::Form_MouseMove()
{
    // By kind, not by name: every command button of the window takes part.
    for (CommandButton* button : findChildren<CommandButton*>()) {
        if (button->BackColor() != NormalColor)
            button->SetBackColor(NormalColor);
    }
}

void frmMain::Form_Resize()
{
    // Whole twips in ordinary ints: a large screen cannot overflow them. A negative size
    // (a window made smaller than the grid's corner, or minimised) is refused by the grid,
    // which then keeps its bounds.
    const int left = 500;
    const int top = flexDemo->Top();
    const int width = ScaleWidth() - flexDemo->Left();
    const int height = ScaleHeight() - flexDemo->Top();
    flexDemo->Move(left, top, width, height);
}

}  // namespace vx414
