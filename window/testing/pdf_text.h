// The text of a printed PDF as pdftotext (poppler-utils) gives it, for tests of printing.
#pragma once

#include <QLatin1Char>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

namespace vx414::testing {

// The text of a PDF, page by page; a test fails when pdftotext is missing or refuses it.
inline QStringList pdfPages(const QString& pdf)
{
    const QString tool = QStandardPaths::findExecutable("pdftotext");
    if (tool.isEmpty()) {
        ADD_FAILURE() << "pdftotext (poppler-utils) is not installed";
        return {};
    }
    QProcess process;
    process.start(tool, {"-layout", pdf, "-"});
    EXPECT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    QStringList pages = QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\f'));
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}

// pdftotext spreads table cells over columns of blanks; tests compare words only.
inline QString words(const QString& text)
{
    return text.simplified();
}

}  // namespace vx414::testing
