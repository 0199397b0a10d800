// The roles the program's windows announce to assistive technology: the main window and
// the help window are frames, the about box a dialog, each named by its title.
#pragma once

namespace vx414 {

// Installs the roles once; every window of the program calls it before it is first asked
// for its accessible interface. Safe to call again.
void registerWindowRoles();

}  // namespace vx414
