// Small data files for the window's tests, built with the data-file builder into a
// scratch folder that stands in for the program's folder.
#pragma once

#include "definitions/dis_file.h"
#include "definitions/make_sections.h"
#include "definitions/pair_codec.h"

#include <QDir>
#include <QString>
#include <QTemporaryDir>

#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace vx414::testing {

// 832 short glossary entries: "T0001" / "Term 1", ...
inline std::vector<GlossaryEntry> sampleGlossary()
{
    std::vector<GlossaryEntry> g;
    for (int i = 1; i <= kGlossaryEntries; ++i) {
        char term[8];
        std::snprintf(term, sizeof term, "T%04d", i);
        g.push_back({term, "Term " + std::to_string(i), "test"});
    }
    return g;
}

class DataFolder {
public:
    // A folder with VX-414.dis built from these sources.
    explicit DataFolder(const PlainSources& sources)
    {
        const BuildResult built = buildDataFile(sources);
        if (!built.error.empty())
            throw std::runtime_error(built.error);
        write(built.stored);
    }
    // A folder with no data file.
    DataFolder() = default;

    QString path() const { return dir_.path(); }
    std::string file() const { return (dir_.path() + "/VX-414.dis").toStdString(); }

    void write(const std::vector<std::uint8_t>& bytes) const
    {
        std::ofstream out(file(), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    std::vector<std::uint8_t> read() const
    {
        std::ifstream in(file(), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    // Writes data bytes, pair-encoded, at a file position of the data file.
    void patch(std::int32_t position, std::string_view data) const
    {
        std::vector<std::uint8_t> bytes = read();
        std::size_t at = static_cast<std::size_t>(position - 1);
        for (char c : data) {
            const DataPair pair = encodePair(static_cast<std::uint8_t>(c));
            bytes.at(at++) = pair[0];
            bytes.at(at++) = pair[1];
        }
        write(bytes);
    }

private:
    QTemporaryDir dir_;
};

}  // namespace vx414::testing
