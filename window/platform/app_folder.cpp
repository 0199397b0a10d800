#include "window/platform/app_folder.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace vx414 {

QString programFolder()
{
    // /proc/self/exe names the program file itself, so a program started through a link
    // in another folder still finds the files that were installed beside it.
    QFileInfo exe(QStringLiteral("/proc/self/exe"));
    QString file = exe.canonicalFilePath();
    if (file.isEmpty())
        file = QCoreApplication::applicationFilePath();
    return QFileInfo(file).canonicalPath();
}

}  // namespace vx414
