#include "window/chm_file.h"

#include <QFile>

#include <chm_lib.h>
#include <dlfcn.h>

#include <algorithm>
#include <cstring>

namespace vx414 {

namespace {

// chmlib is loaded the first time a help file is opened, not with the program: most
// sessions never open the help, and a library less to map and relocate is a faster start.
// It stays loaded to the end.
struct ChmLibrary {
    decltype(&::chm_open) open = nullptr;
    decltype(&::chm_close) close = nullptr;
    decltype(&::chm_resolve_object) resolve = nullptr;
    decltype(&::chm_retrieve_object) retrieve = nullptr;
    decltype(&::chm_enumerate) enumerate = nullptr;
};

template <typename Function>
bool resolveSymbol(void* library, const char* name, Function& function)
{
    function = reinterpret_cast<Function>(dlsym(library, name));
    return function != nullptr;
}

// Null when the library cannot be loaded: then no help file opens.
const ChmLibrary* chmLibrary()
{
    static const ChmLibrary* const loaded = []() -> const ChmLibrary* {
        void* library = dlopen(VX414_CHMLIB_SONAME, RTLD_NOW | RTLD_LOCAL);
        if (library == nullptr)
            return nullptr;
        static ChmLibrary functions;
        if (!resolveSymbol(library, "chm_open", functions.open) ||
            !resolveSymbol(library, "chm_close", functions.close) ||
            !resolveSymbol(library, "chm_resolve_object", functions.resolve) ||
            !resolveSymbol(library, "chm_retrieve_object", functions.retrieve) ||
            !resolveSymbol(library, "chm_enumerate", functions.enumerate))
            return nullptr;
        return &functions;
    }();
    return loaded;
}

// No page, picture or stylesheet of a help file comes near this; a larger length can only
// come from a damaged directory, and is refused rather than allocated.
constexpr LONGUINT64 kLargestObject = 16u * 1024u * 1024u;

int littleEndian16(const QByteArray& data, qsizetype at)
{
    return static_cast<unsigned char>(data[at]) | (static_cast<unsigned char>(data[at + 1]) << 8);
}

quint64 littleEndian64(const QByteArray& data, qsizetype at)
{
    quint64 v = 0;
    for (int i = 7; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(data[at + i]);
    return v;
}

// Where the stored data begins, from the file's header ("ITSF"): recorded in version 3,
// right after the directory before it. Nothing when the header is not whole.
std::optional<quint64> dataOffset(const QByteArray& header)
{
    if (header.size() < 0x58 || !header.startsWith("ITSF"))
        return std::nullopt;
    const auto version = static_cast<unsigned char>(header[4]);
    if (version >= 3) {
        if (header.size() < 0x60)
            return std::nullopt;
        return littleEndian64(header, 0x58);
    }
    return littleEndian64(header, 0x48) + littleEndian64(header, 0x50);
}

QString normalisedPath(QString path)
{
    // Help compilers write Windows separators; paths inside the help file are absolute.
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (!path.startsWith(QLatin1Char('/')))
        path.prepend(QLatin1Char('/'));
    return path;
}

bool isPage(const QString& path)
{
    return path.endsWith(QLatin1String(".htm"), Qt::CaseInsensitive) ||
           path.endsWith(QLatin1String(".html"), Qt::CaseInsensitive);
}

}  // namespace

std::optional<QString> defaultTopicFromSystemData(const QByteArray& system)
{
    // A 4-byte version, then entries of a 16-bit code, a 16-bit length and that many bytes.
    qsizetype at = 4;
    while (at + 4 <= system.size()) {
        const int code = littleEndian16(system, at);
        const int length = littleEndian16(system, at + 2);
        at += 4;
        if (at + length > system.size())
            return std::nullopt;
        if (code == 2) {
            QByteArray text = system.mid(at, length);
            const qsizetype end = text.indexOf('\0');
            if (end >= 0)
                text.truncate(end);
            if (text.isEmpty())
                return std::nullopt;
            return normalisedPath(QString::fromLatin1(text));
        }
        at += length;
    }
    return std::nullopt;
}

std::unique_ptr<ChmFile> ChmFile::open(const QString& path)
{
    QFile raw(path);
    if (!raw.open(QIODevice::ReadOnly))
        return nullptr;
    const auto size = static_cast<quint64>(raw.size());
    const std::optional<quint64> dataStart = dataOffset(raw.read(0x60));
    raw.close();
    if (!dataStart || *dataStart > size)
        return nullptr;

    const ChmLibrary* chm = chmLibrary();
    if (chm == nullptr)
        return nullptr;
    chmFile* handle = chm->open(QFile::encodeName(path).constData());
    if (handle == nullptr)
        return nullptr;
    std::unique_ptr<ChmFile> file(new ChmFile(handle));
    // chmlib reads a file cut short as if its missing end were zeros, so a help file is
    // taken only when every stored object, the compressed pages among them, lies within it.
    struct Extent {
        quint64 dataStart;
        quint64 end = 0;
    } extent{*dataStart};
    const auto visit = [](chmFile*, chmUnitInfo* unit, void* context) -> int {
        auto* e = static_cast<Extent*>(context);
        if (unit->space == CHM_UNCOMPRESSED)
            e->end = std::max<quint64>(e->end, e->dataStart + unit->start + unit->length);
        return CHM_ENUMERATOR_CONTINUE;
    };
    chm->enumerate(handle, CHM_ENUMERATE_ALL, visit, &extent);
    if (extent.end > size)
        return nullptr;
    return file;
}

// Every ChmFile was opened through the loaded library, so it is there to close it.
ChmFile::~ChmFile() { chmLibrary()->close(handle_); }

std::optional<QByteArray> ChmFile::read(const QString& path) const
{
    chmUnitInfo unit{};
    const QByteArray name = normalisedPath(path).toUtf8();
    if (chmLibrary()->resolve(handle_, name.constData(), &unit) != CHM_RESOLVE_SUCCESS)
        return std::nullopt;
    if (unit.length > kLargestObject)
        return std::nullopt;
    QByteArray bytes(static_cast<qsizetype>(unit.length), Qt::Uninitialized);
    if (unit.length == 0)
        return bytes;
    const LONGINT64 got =
        chmLibrary()->retrieve(handle_, &unit, reinterpret_cast<unsigned char*>(bytes.data()), 0,
                            static_cast<LONGINT64>(unit.length));
    if (got != static_cast<LONGINT64>(unit.length))
        return std::nullopt;
    return bytes;
}

std::optional<QString> ChmFile::defaultTopic() const
{
    if (const std::optional<QByteArray> system = read(QStringLiteral("/#SYSTEM"))) {
        if (std::optional<QString> topic = defaultTopicFromSystemData(*system))
            return topic;
    }
    return firstPage();
}

std::optional<QString> ChmFile::firstPage() const
{
    // Without a recorded default topic, the first page in the help file's own order.
    std::optional<QString> found;
    const auto visit = [](chmFile*, chmUnitInfo* unit, void* context) -> int {
        const QString path =
            QString::fromUtf8(unit->path, static_cast<qsizetype>(strnlen(unit->path, CHM_MAX_PATHLEN)));
        if (!isPage(path))
            return CHM_ENUMERATOR_CONTINUE;
        *static_cast<std::optional<QString>*>(context) = path;
        return CHM_ENUMERATOR_SUCCESS;
    };
    chmLibrary()->enumerate(handle_, CHM_ENUMERATE_NORMAL | CHM_ENUMERATE_FILES, visit, &found);
    return found;
}

}  // namespace vx414
