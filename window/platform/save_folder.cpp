#include "window/platform/save_folder.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace vx414 {

namespace {

QString stateFile()
{
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    // XDG asks for an absolute path here and ignores any other.
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/state");
    return base + QStringLiteral("/vx414/save-folder");
}

}  // namespace

QString saveFolder(const QString& fallback)
{
    QFile file(stateFile());
    if (!file.open(QIODevice::ReadOnly))
        return fallback;
    // One line, a path; anything longer than a path can be is not ours.
    const QString folder = QString::fromUtf8(file.readLine(8192)).trimmed();
    if (folder.isEmpty() || !QDir::isAbsolutePath(folder) || !QFileInfo(folder).isDir())
        return fallback;
    return folder;
}

void rememberSaveFolder(const QString& savedFile)
{
    const QString folder = QFileInfo(savedFile).absolutePath();
    const QString path = stateFile();
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.write(folder.toUtf8() + '\n');
    file.commit();
}

}  // namespace vx414
