// The keys that close a secondary window (Live data, the help, the Vehicle report): Esc
// and Ctrl+W, while that window has the focus.
#pragma once

class QWidget;

namespace vx414 {

void closeOnEscapeAndCtrlW(QWidget* window);

}  // namespace vx414
