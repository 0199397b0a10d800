// The folder Save As opens in: the one the user last saved to, kept between runs in a
// one-line file under $XDG_STATE_HOME (~/.local/state when unset), vx414/save-folder. It is
// the only thing the program keeps; a folder that has gone since falls back to the
// default.
#pragma once

#include <QString>

namespace vx414 {

// The remembered folder when it still exists, else `fallback`.
QString saveFolder(const QString& fallback);

// Remembers the folder of `savedFile`. A state folder that cannot be written is no
// failure of the save: the next Save As then opens at the default again.
void rememberSaveFolder(const QString& savedFile);

}  // namespace vx414
