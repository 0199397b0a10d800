// An emulator the end-to-end tests start as a child process, as a reader or an adapter
// runs on its own: the program from the build folder ($VX414_BUILD_DIR), the first line
// it prints (where it listens) and what it logs after that.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

namespace vx414::testing {

class EmulatorProcess {
public:
    // Waits up to five seconds for the program to start and five more for its first line;
    // firstLine() is empty when either did not come.
    EmulatorProcess(const QString& program, const QStringList& arguments)
    {
        process_.start(qEnvironmentVariable("VX414_BUILD_DIR") + QLatin1Char('/') + program, arguments);
        if (process_.waitForStarted(5000) && process_.waitForReadyRead(5000))
            firstLine_ = QString::fromUtf8(process_.readLine()).trimmed();
    }
    ~EmulatorProcess()
    {
        process_.terminate();
        process_.waitForFinished(5000);
    }
    EmulatorProcess(const EmulatorProcess&) = delete;
    EmulatorProcess& operator=(const EmulatorProcess&) = delete;

    const QString& firstLine() const { return firstLine_; }
    // What the program printed after its first line, so far (waits up to 200 ms for more).
    QString log()
    {
        process_.waitForReadyRead(200);
        return QString::fromUtf8(process_.readAll());
    }

private:
    QProcess process_;
    QString firstLine_;
};

}  // namespace vx414::testing
