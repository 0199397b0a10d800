#pragma once

#include <QString>

namespace vx414 {

// The folder that holds the running program, symbolic links resolved, without a
// trailing separator (except for the root folder itself, "/").
QString programFolder();

}  // namespace vx414
