#include "tools/read/previous_command.h"

#include "report/cleared_read.h"
#include "report/report_format.h"
#include "tools/read/text_output.h"

namespace vx414::cli {
namespace {

void complain(std::ostream& err, std::string_view line) { err << "vx414-read: " << line << '\n'; }

std::string codesInBrief(const ReadReport& read) {
    if (read.codes.empty()) return "no codes";
    std::string text;
    for (const ReportCode& code : read.codes) text += (text.empty() ? "" : ", ") + code.code + " (" + code.kind + ")";
    return text;
}

}  // namespace

int previous(const ReadArguments& arguments, CommandEnvironment& environment) {
    const std::string& folder = environment.clearedFolder;
    const std::vector<PreviousRead> reads = previousReads(folder);
    if (reads.empty()) {
        complain(environment.err, "no read has been kept yet in " + (folder.empty() ? "(no folder)" : folder) +
                                      "; a read is kept there before each clear");
        return ExitFailed;
    }
    if (arguments.previous == 0) {
        // Numbered as --previous N takes them; the date and the VIN have one width each.
        for (std::size_t i = 0; i < reads.size(); ++i) {
            std::string number = std::to_string(i + 1);
            number.insert(0, number.size() < 3 ? 3 - number.size() : 0, ' ');
            environment.out << number << "  ";
            if (const std::optional<ReadReport>& read = reads[i].read) {
                std::string vin = read->vehicle.vin.empty() ? "VIN not read" : read->vehicle.vin;
                vin.resize(17, ' ');
                environment.out << readableTime(read->time) << "  " << printableUtf8(vin) << "  "
                                << printableUtf8(codesInBrief(*read)) << (read->fromEmulator() ? "  (demo)" : "")
                                << '\n';
            } else {
                environment.out << "cannot be read: " << printableUtf8(reads[i].error) << '\n';
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
    const PreviousRead& chosen = reads[n - 1];
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
