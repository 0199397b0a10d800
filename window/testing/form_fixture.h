// A main window wired to test doubles: a scripted reader and recording platform services.
#pragma once

#include "reader/testing/recording_device_library.h"
#include "window/frm_main.h"
#include "window/testing/recording_platform.h"

#include <QString>

#include <memory>
#include <ostream>

QT_BEGIN_NAMESPACE
// Readable QStrings in test failures.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace vx414::testing {

struct FormFixture {
    explicit FormFixture(QString folder = QStringLiteral("/nonexistent"))
        : platform{box, beep, pointers, end, device, std::move(folder)},
          form(std::make_unique<frmMain>(platform))
    {
    }

    ScriptedMessageBox box;
    CountingBeep beep;
    RecordingPointers pointers;
    RecordingProgramEnd end;
    RecordingDeviceLibrary device;
    Platform platform;
    std::unique_ptr<frmMain> form;
};

}  // namespace vx414::testing
