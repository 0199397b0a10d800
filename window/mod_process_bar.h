// modProcessBar: draws a progress bar with its percentage on a picture box.
#pragma once

#include "window/controls/picture_box.h"

#include <cstdint>

namespace vx414::modProcessBar {

// Clears the box to black, prints the percentage of fraction centred in colour, then
// inverts the bar's part of the box against colour (not-xor), so that a magenta bar over
// black shows green with the text under it white. A fraction of 0 or less inverts the
// whole box against black instead: white, with the text green.
void drawprocessbar(PictureBox& box, float fraction, std::uint32_t colour);

}  // namespace vx414::modProcessBar
