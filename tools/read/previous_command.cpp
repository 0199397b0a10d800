#include "tools/read/previous_command.h"

#include "report/cleared_listing.h"
#include "report/report_format.h"
#include "tools/read/text_output.h"

namespace vx414::cli {
namespace {

// Every text taken from a kept read or naming one passes printableUtf8: a damaged or
// foreign file must not move the terminal's cursor or change its colours.
void complain(std::ostream& err, std::string_view line) { err << "vx414-read: " << printableUtf8(line) << '\n'; }

}  // namespace

int previous(const ReadArguments& arguments, CommandEnvironment& environment) {
    const std::string& folder = environment.clearedFolder;
    const KeptReadList list = listKeptReads(folder);
    if (!list.error.empty()) {
        complain(environment.err, "cannot list the kept reads: " + list.error);
        return ExitFailed;
    }
    const std::vector<KeptReadEntry>& reads = list.reads;
    if (reads.empty()) {
        complain(environment.err, "no read has been kept yet in " + folder + "; a read is kept there before each clear");
        return ExitFailed;
    }
    if (arguments.previous == 0) {
        // Numbered as --previous N takes them; the date and the VIN have one width each.
        for (std::size_t i = 0; i < reads.size(); ++i) {
            std::string number = std::to_string(i + 1);
            number.insert(0, number.size() < 3 ? 3 - number.size() : 0, ' ');
            environment.out << number << "  ";
            const KeptReadEntry& read = reads[i];
            if (read.ok()) {
                std::string vin = printableUtf8(read.vin.empty() ? "VIN not read" : read.vin);
                if (vin.size() < 17) vin.resize(17, ' ');
                environment.out << printableUtf8(read.time) << "  " << vin << "  " << printableUtf8(read.codes)
                                << (read.fromEmulator() ? "  (demo)" : "") << '\n';
            } else {
                environment.out << "cannot be read: " << printableUtf8(read.error) << '\n';
            }
        }
        return ExitOk;
    }
    const auto n = static_cast<std::size_t>(arguments.previous);
    if (n > reads.size()) {
        complain(environment.err, "there is no kept read " + std::to_string(n) + ": " + std::to_string(reads.size()) +
                                      (reads.size() == 1 ? " is" : " are") + " kept (see --previous)");
        return ExitFailed;
    }
    // Only the one asked for is read whole.
    const PreviousRead chosen = openPreviousRead(reads[n - 1].path);
    if (!chosen.read) {
        complain(environment.err, "cannot read the kept read " + std::to_string(n) + " back: " + chosen.error);
        return ExitFailed;
    }
    switch (arguments.format) {
    case Format::Text: environment.out << readAsText(*chosen.read); break;
    case Format::Csv:
        environment.out << reportAsCsv(*chosen.read, arguments.header ? CsvHeader::With : CsvHeader::Without);
        break;
    case Format::Json: environment.out << reportAsJson(*chosen.read); break;
    }
    return ExitOk;
}

}  // namespace vx414::cli
