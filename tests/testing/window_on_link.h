// The main window on a real link (a tty or an adapter's library), with the platform's
// message boxes, beeps, pointers and program end recorded, as the end-to-end tests drive it.
#pragma once

#include "reader/device_library.h"
#include "window/frm_main.h"
#include "window/testing/recording_platform.h"

#include <QString>

#include <memory>
#include <utility>

namespace vx414::testing {

inline DeviceLibrary& linkOf(DeviceLibrary& device) { return device; }
inline DeviceLibrary& linkOf(const std::unique_ptr<DeviceLibrary>& device) { return *device; }

// `Device`: a device library held by value, or a std::unique_ptr to one.
template <class Device>
struct WindowOnLink {
    template <class... Arguments>
    explicit WindowOnLink(Arguments&&... arguments) : device(std::forward<Arguments>(arguments)...)
    {
    }

    ScriptedMessageBox box;
    CountingBeep beep;
    RecordingPointers pointers;
    RecordingProgramEnd end;
    Device device;
    Platform platform{box, beep, pointers, end, linkOf(device), QStringLiteral("/nonexistent")};
    frmMain form{platform};
};

}  // namespace vx414::testing
