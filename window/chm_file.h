// Read access to a compiled HTML help file (.chm) through chmlib: the bytes of one stored
// file by its path inside the help file, and the help file's default topic.
#pragma once

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>

struct chmFile;

namespace vx414 {

// The default topic recorded in a help file's "/#SYSTEM" data: entry code 2, a
// NUL-terminated path written with "\" separators and without the leading "/". Returns it as
// an absolute path inside the help file ("html\x.htm" gives "/html/x.htm"), or nothing when
// the data holds no usable entry. Damaged data never reads past its end.
std::optional<QString> defaultTopicFromSystemData(const QByteArray& system);

class ChmFile {
public:
    // Opens the help file; nothing when it is missing or not a help file at all.
    static std::unique_ptr<ChmFile> open(const QString& path);
    ~ChmFile();
    ChmFile(const ChmFile&) = delete;
    ChmFile& operator=(const ChmFile&) = delete;

    // The whole stored file at `path` ("/html/index.htm"); nothing when it is not in the help
    // file or cannot be read to its end (a truncated help file).
    std::optional<QByteArray> read(const QString& path) const;

    // The page to open first: the one the help file names, or else the first page it
    // holds; nothing when it holds no page at all.
    std::optional<QString> defaultTopic() const;

private:
    explicit ChmFile(chmFile* handle) : handle_(handle) {}
    std::optional<QString> firstPage() const;

    chmFile* handle_;
};

}  // namespace vx414
