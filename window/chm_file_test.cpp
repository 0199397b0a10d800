// The help file as the program reads it: its recorded default topic, its pages, and what a
// damaged copy gives.
#include "window/chm_file.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "reader/testing/recording_device_library.h"

#include <optional>

namespace vx414 {
namespace {

QString builtHelpFile()
{
    return qEnvironmentVariable("VX414_BUILD_DIR") + QStringLiteral("/VX-414.chm");
}

QByteArray entry(int code, const QByteArray& data)
{
    QByteArray e;
    e.append(static_cast<char>(code & 0xFF)).append(static_cast<char>(code >> 8));
    e.append(static_cast<char>(data.size() & 0xFF)).append(static_cast<char>(data.size() >> 8));
    return e + data;
}

const QByteArray kVersion("\x03\x00\x00\x00", 4);

TEST(SystemData, DefaultTopicEntry)
{
    const QByteArray topic("html\\x.htm\0", 11);
    struct Case {
        const char* what;
        QByteArray data;
        std::optional<QString> expected;
    };
    const Case cases[] = {
        {"only entry", kVersion + entry(2, topic), QStringLiteral("/html/x.htm")},
        {"after other entries",
         kVersion + entry(0, "contents.hhc") + entry(3, "Title") + entry(2, topic),
         QStringLiteral("/html/x.htm")},
        {"already absolute", kVersion + entry(2, QByteArray("/a/b.htm\0", 9)),
         QStringLiteral("/a/b.htm")},
        {"no terminating NUL", kVersion + entry(2, "top.htm"), QStringLiteral("/top.htm")},
        {"no code 2", kVersion + entry(3, "Title") + entry(4, QByteArray(36, '\0')), std::nullopt},
        {"empty topic", kVersion + entry(2, QByteArray(1, '\0')), std::nullopt},
        {"length past the end", kVersion + entry(2, topic).left(10), std::nullopt},
        {"entry head cut short", kVersion + QByteArray("\x02\x00\x0b", 3), std::nullopt},
        {"version only", kVersion, std::nullopt},
        {"nothing", QByteArray(), std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(defaultTopicFromSystemData(c.data), c.expected);
    }
}

TEST(BuiltHelpFile, OpensAtItsContentsPageWithPagesPictureAndStylesheet)
{
    const std::unique_ptr<ChmFile> file = ChmFile::open(builtHelpFile());
    ASSERT_NE(file, nullptr) << builtHelpFile().toStdString();
    ASSERT_EQ(file->defaultTopic(), QStringLiteral("/html/index.htm"));

    const std::optional<QByteArray> index = file->read(QStringLiteral("/html/index.htm"));
    ASSERT_TRUE(index.has_value());
    EXPECT_TRUE(index->contains("<title>VX-414 Help</title>"));
    EXPECT_TRUE(index->trimmed().endsWith("</html>"));  // read whole, not a first block

    // The compiler's own separators are accepted as well.
    EXPECT_EQ(file->read(QStringLiteral("html\\trouble.htm")),
              file->read(QStringLiteral("/html/trouble.htm")));
    const std::optional<QByteArray> trouble = file->read(QStringLiteral("/html/trouble.htm"));
    ASSERT_TRUE(trouble.has_value());
    EXPECT_TRUE(trouble->contains("USB without pending ! Please check USB cable and test again."));
    // Every cause the window shows under it for an ELM327 adapter is explained there (the
    // scripted link gives an adapter's causes).
    for (const LinkStatus& status : {LinkStatus(LinkCode::NoDevice, NoAdapterOnSerialPorts),
                                     LinkStatus(LinkCode::NoDevice, ConnectionRefused),
                                     LinkStatus(LinkCode::NoVehicle, ""), LinkStatus(LinkCode::Timeout, "")}) {
        const std::string cause = RecordingDeviceLibrary().DeviceFailureCause(status);
        EXPECT_FALSE(cause.empty()) << status.toString();
        EXPECT_TRUE(trouble->contains(QByteArray(cause.data(), static_cast<qsizetype>(cause.size())))) << cause;
    }

    const std::optional<QByteArray> picture = file->read(QStringLiteral("/html/progress-strip.png"));
    ASSERT_TRUE(picture.has_value());
    EXPECT_TRUE(picture->startsWith("\x89PNG"));
    EXPECT_TRUE(file->read(QStringLiteral("/html/help.css")).has_value());
    EXPECT_FALSE(file->read(QStringLiteral("/html/no-such-page.htm")).has_value());
}

TEST(DamagedHelpFile, TruncatedCopiesNeverReadPastWhatIsLeft)
{
    QFile original(builtHelpFile());
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    const QByteArray whole = original.readAll();
    ASSERT_GT(whole.size(), 4000);
    const std::unique_ptr<ChmFile> good = ChmFile::open(builtHelpFile());
    ASSERT_NE(good, nullptr);
    const QString pages[] = {QStringLiteral("/html/index.htm"), QStringLiteral("/html/datafile.htm"),
                             QStringLiteral("/html/progress-strip.png"), QStringLiteral("/#SYSTEM")};

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const qsizetype cuts[] = {0, 1, 50, 96, 500, 2000, whole.size() / 2, whole.size() - 1000,
                              whole.size() - 100, whole.size() - 1};
    for (const qsizetype cut : cuts) {
        SCOPED_TRACE(cut);
        const QString path = dir.filePath(QStringLiteral("cut-%1.chm").arg(cut));
        QFile copy(path);
        ASSERT_TRUE(copy.open(QIODevice::WriteOnly));
        copy.write(whole.left(cut));
        copy.close();

        const std::unique_ptr<ChmFile> file = ChmFile::open(path);
        if (file == nullptr)
            continue;  // refused outright: fine
        (void)file->defaultTopic();
        // Whatever still reads must read exactly as from the whole file.
        for (const QString& page : pages) {
            const std::optional<QByteArray> bytes = file->read(page);
            if (bytes) {
                EXPECT_EQ(*bytes, *good->read(page)) << page.toStdString();
            }
        }
    }
    EXPECT_EQ(ChmFile::open(dir.filePath(QStringLiteral("missing.chm"))), nullptr);
}

}  // namespace
}  // namespace vx414
