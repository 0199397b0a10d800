// The window's size at start on a screen too small for it: a small laptop, or any screen
// at a scale factor of 2 (the design's 835 x 568 client area is 1,670 x 1,136 device
// pixels there).
#include "window/frm_main.h"

#include "window/controls/units.h"

#include <algorithm>

namespace vx414 {

void frmMain::fitToScreen(const QSize& available)
{
    // The largest size that fits, never more than the design's: the frame the window
    // manager adds is taken off the room first. Form_Resize then re-fits the grid.
    const QSize frame = frameGeometry().size() - size();
    const QSize room = available - frame.expandedTo(QSize(0, 0));
    const QSize fitted(std::min(pixels(12525), std::max(room.width(), 1)),
                       std::min(pixels(8520), std::max(room.height(), 1)));
    if (fitted != size())
        resize(fitted);
}

}  // namespace vx414
