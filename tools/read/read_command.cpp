#include "tools/read/read_command.h"

#include <cerrno>
#include <cmath>
#include <filesystem>
#include <system_error>
#include <unistd.h>

#include "definitions/code_meaning.h"
#include "definitions/code_ranges.h"
#include "definitions/codepage.h"
#include "definitions/data_file.h"
#include "definitions/definitions_table.h"
#include "definitions/glossary.h"
#include "report/cleared_read.h"
#include "reader/link_choice.h"
#include "report/report_format.h"
#include "report/vehicle_format.h"
#include "reader/link_name.h"
#include "reader/obd/monitor_status.h"
#include "tools/read/link_read.h"
#include "tools/read/previous_command.h"
#include "tools/read/live_command.h"
#include "tools/read/text_output.h"

namespace vx414::cli {
namespace {

constexpr std::string_view kProgram = "vx414-read";

void complain(std::ostream& err, std::string_view line) { err << kProgram << ": " << line << '\n'; }

// ---- the data file ----

std::string dataFileOf(const ReadArguments& arguments, const CommandEnvironment& environment) {
    return arguments.dataFile ? *arguments.dataFile : dataFilePath(environment.programFolder);
}

// The window's message for a missing or damaged file, with the path it was looked for at;
// what was damaged, and where, follows in brackets.
void reportDataFile(std::ostream& err, const DataFileStatus& status, const std::string& path) {
    err << kProgram << ':';
    if (status.code == DataFileCode::NotFound) {
        err << " File not found : " << path << '\n';
        return;
    }
    err << " Cannot identify data file : " << path;
    if (status.code != DataFileCode::Empty) err << " (" << describe(status) << ')';
    err << '\n';
}

// Opens the file in the slot after the window's presence check.
bool openDataFile(DataFile& slot, const std::string& path, std::ostream& err) {
    const int check = datafilecheck(path);
    if (check != 2) {
        reportDataFile(err, DataFileStatus::failure(check == 0 ? DataFileCode::NotFound : DataFileCode::Empty), path);
        return false;
    }
    if (DataFileStatus status = slot.open(path); !status.ok()) {
        reportDataFile(err, status, path);
        return false;
    }
    return true;
}

bool loadTable(DefinitionsTable& table, const MakeSection& make, const std::string& path, std::ostream& err) {
    DataFile slot;
    if (!openDataFile(slot, path, err)) return false;
    const DataFileStatus status = table.load(slot, make);
    if (!status.ok()) reportDataFile(err, status, path);
    return status.ok();
}

// ---- the link ----

struct ChosenLink {
    std::optional<LinkName> named;  // nothing: /dev/vx414 when it is there, else an ELM327 adapter
    std::string shown;              // how the status line and the messages name it
};

// --link, else $VX414_LINK, either of which must parse, else the adapter chosen in the window
// (see reader/link_choice.h). Empty when a name does not parse (the line is said).
std::optional<ChosenLink> chooseLink(const ReadArguments& arguments, const CommandEnvironment& environment) {
    std::optional<std::string> text = arguments.link;
    std::string_view origin = "--link";
    if (!text && environment.linkVariable && !environment.linkVariable->empty()) {
        text = environment.linkVariable;
        origin = LinkEnvironmentVariable;
    }
    ChosenLink chosen;
    if (!text) {
        if (std::optional<LinkName> kept = loadLinkChoice(environment.linkChoiceFolder)) {
            chosen.shown = linkNameText(*kept);
            chosen.named = std::move(kept);
            return chosen;
        }
        std::error_code ignored;
        chosen.shown = std::filesystem::exists(DefaultLinkPath, ignored) ? DefaultLinkPath
                                                                         : "an ELM327 adapter on the serial ports";
        return chosen;
    }
    LinkNameParse parsed = environment.links.parse(*text);
    if (!parsed.name) {
        complain(environment.err, std::string(origin) + ": " + parsed.error);
        return std::nullopt;
    }
    chosen.named = std::move(parsed.name);
    chosen.shown = *text;
    return chosen;
}

bool isReader(const ChosenLink& link) { return link.named && link.named->kind == LinkName::Kind::ReaderTty; }

// A named reader's tty that is not there, or that we may not open, is said at once rather
// than after the read's wait has run out.
bool readerReachable(const ChosenLink& link, std::ostream& err) {
    if (!isReader(link)) return true;
    const std::string& path = link.named->path;
    std::error_code error;
    if (!std::filesystem::exists(path, error)) {
        complain(err, "no reader at " + path);
        return false;
    }
    if (::access(path.c_str(), R_OK | W_OK) != 0) {
        complain(err, "cannot open " + path + ": " + std::generic_category().message(errno) +
                          " (is the user in the dialout group?)");
        return false;
    }
    return true;
}

// True when every code that begins with `prefix` lies in a range the makes define (P1,
// P30 to P33, B1, B2, C1, C2, U1, U2): the generic rows cannot hold it.
bool inManufacturerRange(std::string_view prefix) {
    if (prefix.size() < 2 || prefix.size() > 5) return false;
    const bool pThree = (prefix[0] == 'P' || prefix[0] == 'p') && prefix[1] == '3';
    if (pThree && prefix.size() < 3) return false;
    std::string code(prefix);
    code.resize(5, '0');
    return isManufacturerRange(code);
}

// ---- the modes ----

int lookup(const ReadArguments& arguments, CommandEnvironment& environment) {
    DefinitionsTable table;
    if (!loadTable(table, *arguments.make, dataFileOf(arguments, environment), environment.err)) return ExitDataFile;
    const CodeSearchHit hit = table.search(arguments.code);
    if (hit.found < 0) {
        std::string text = "No definition: no code begins with " + arguments.code + " (" +
                           std::string(arguments.make->name) + ")";
        if (inManufacturerRange(arguments.code)) {
            // Whether the make has no texts of its own here, or no make was chosen: the
            // user must be able to tell that from a code that is simply unknown.
            const bool generic = arguments.make->start == kMakeSections[0].start;
            std::string code = arguments.code;
            code.resize(5, '0');
            const std::string note = missingMeaningNote(arguments.make->name, generic, table.holdsMakerTexts(), code);
            if (!note.empty()) text += " (" + note + ")";
        }
        complain(environment.err, text);
        return ExitFailed;
    }
    if (arguments.format == Format::Json) {
        // The found entry's code with its code's one meaning (the same as a read's).
        const auto entry = [&](int codeRow, int definitionRow) {
            const DefinitionRow& c = table.rows()[static_cast<std::size_t>(codeRow)];
            const DefinitionRow& d = table.rows()[static_cast<std::size_t>(definitionRow)];
            return CodeText{windows1252ToUtf8(c.code), windows1252ToUtf8(d.definition),
                            std::string(definitionRow < table.genericCount() ? kGenericSource : arguments.make->name)};
        };
        environment.out << lookupAsJson(arguments.make->name, entry(hit.found, hit.meaning),
                                        hit.next >= 0 ? std::optional<CodeText>(entry(hit.next, hit.next)) : std::nullopt);
        return ExitOk;
    }
    environment.out << lookupAsText(table, hit);
    return ExitOk;
}

int glossary(const ReadArguments& arguments, CommandEnvironment& environment) {
    const std::string path = dataFileOf(arguments, environment);
    DataFile slot;
    if (!openDataFile(slot, path, environment.err)) return ExitDataFile;
    std::vector<GlossaryItem> items;
    if (DataFileStatus status = loadGlossaryItems(slot, items); !status.ok()) {
        reportDataFile(environment.err, status, path);
        return ExitDataFile;
    }
    // A term the code page cannot hold begins no entry.
    const std::optional<std::string> term = utf8ToWindows1252(arguments.term);
    const std::vector<std::size_t> shown = term ? termsStartingWith(items, *term) : std::vector<std::size_t>{};
    if (shown.empty()) {
        complain(environment.err, "no glossary term begins with \"" + arguments.term + "\"");
        return ExitFailed;
    }
    if (arguments.format == Format::Text) {
        environment.out << glossaryAsText(items, shown);
        return ExitOk;
    }
    std::vector<GlossaryText> entries;
    entries.reserve(shown.size());
    for (std::size_t i : shown) entries.push_back(glossaryTextFromData(items[i].term, items[i].explanation));
    const CsvHeader header = arguments.header ? CsvHeader::With : CsvHeader::Without;
    environment.out << (arguments.format == Format::Csv ? glossaryAsCsv(entries, header) : glossaryAsJson(entries));
    return ExitOk;
}

// The make whose definitions apply: the one asked for, else the one the car's VIN names,
// else generic.
const MakeSection& makeFor(const ReadArguments& arguments, const VehicleInfo& vehicle) {
    if (!arguments.makeGiven && !vehicle.make.empty()) {
        if (const MakeSection* named = findMake(vehicle.make)) return *named;
    }
    return *arguments.make;
}

// A read that reached the car, or the exit status that says why not (the line is said).
struct TakenRead {
    std::optional<ReadReport> report;
    int status = ExitOk;
};

// Reads the codes through `device` and gives each its definition. `table` holds the make
// asked for, loaded before the read so that a missing file is said before the car is
// asked; it is loaded again for the VIN's make when that one applies.
TakenRead takeRead(const ReadArguments& arguments, CommandEnvironment& environment, const ChosenLink& link,
                   DeviceLibrary& device, DefinitionsTable& table, std::string_view purpose) {
    std::ostream& err = environment.err;
    const std::string path = dataFileOf(arguments, environment);

    if (environment.errIsTerminal) err << "Reading the codes" << purpose << " through " << link.shown << " ..." << std::flush;
    const ReadOutcome outcome = readCodesOnce(device, environment.readDelay);
    if (environment.errIsTerminal) err << "\r\033[K" << std::flush;
    if (!outcome.ok() && outcome.wholeReport) {
        complain(err, "no report from the adapter through " + link.shown + ": " +
                          device.DeviceFailureCause(outcome.status) + " (" + outcome.status.toString() + ")");
        return {std::nullopt, ExitFailed};
    }
    if (!outcome.ok()) {
        complain(err, "no report from the reader through " + link.shown + " (" + outcome.status.toString() +
                          "); check the cable and that the reader is connected to the car, then try again");
        return {std::nullopt, ExitFailed};
    }

    const MakeSection& make = makeFor(arguments, outcome.vehicle);
    if (&make != arguments.make && !loadTable(table, make, path, err)) return {std::nullopt, ExitDataFile};

    std::vector<CodeRead> read = outcome.codes;
    for (const TroubleCode& code : outcome.vehicle.permanent) read.push_back({"Permanent", code});
    std::vector<CodeMeaning> meanings;
    meanings.reserve(read.size());
    std::vector<DataCode> codes;
    codes.reserve(read.size());
    for (const CodeRead& code : read) {
        const CodeMeaning& meaning = meanings.emplace_back(meaningOf(table, make.name, code.code.text()));
        const std::string_view definition = meaning.row < 0
                                                ? std::string_view{}
                                                : std::string_view(table.rows()[static_cast<std::size_t>(meaning.row)].definition);
        codes.push_back({code.kind, code.code.text(), definition, meaning.source, meaning.note});
    }
    ReadReport report =
        reportFromRead(localTimeOf(std::chrono::system_clock::to_time_t(environment.now())), make.name, codes);
    VehicleInfo vehicle = outcome.vehicle;
    if (arguments.modelYear > 0) obd::giveModelYear(vehicle, arguments.modelYear, vehicle.modelYear);
    attachVehicle(report, vehicle);
    if (!device.DeviceLinkName().empty()) report.source = kEmulatorSource;
    return {std::move(report), ExitOk};
}

int read(const ReadArguments& arguments, CommandEnvironment& environment) {
    const std::optional<ChosenLink> link = chooseLink(arguments, environment);
    if (!link) return ExitUsage;
    DefinitionsTable table;
    if (!loadTable(table, *arguments.make, dataFileOf(arguments, environment), environment.err)) return ExitDataFile;
    if (!readerReachable(*link, environment.err)) return ExitFailed;
    const std::unique_ptr<DeviceLibrary> device = environment.links.open(link->named);
    const TakenRead taken = takeRead(arguments, environment, *link, *device, table, "");
    if (!taken.report) return taken.status;
    switch (arguments.format) {
    case Format::Text: environment.out << readAsText(*taken.report); break;
    case Format::Csv:
        environment.out << reportAsCsv(*taken.report, arguments.header ? CsvHeader::With : CsvHeader::Without);
        break;
    case Format::Json: environment.out << reportAsJson(*taken.report); break;
    }
    return ExitOk;
}

// The units by their headers ("7E8, 7E9"); a unit shown without its header is "a unit".
std::string unitList(const std::vector<std::string>& senders) {
    std::string text;
    for (const std::string& sender : senders) {
        if (!text.empty()) text += ", ";
        text += sender.empty() ? "a unit" : "unit " + sender;
    }
    return text;
}

// "4 codes: P0300 (Pending), C1234 (Stored)" or "no codes".
std::string codesInBrief(const ReadReport& report) {
    if (report.codes.empty()) return "no codes";
    std::string text = std::to_string(report.total()) + (report.total() == 1 ? " code: " : " codes: ");
    for (std::size_t i = 0; i < report.codes.size(); ++i) {
        if (i > 0) text += ", ";
        text += report.codes[i].code + " (" + report.codes[i].kind + ")";
    }
    return text;
}

int clear(const ReadArguments& arguments, CommandEnvironment& environment) {
    std::ostream& err = environment.err;
    const std::optional<ChosenLink> link = chooseLink(arguments, environment);
    if (!link) return ExitUsage;
    const auto refuse = [&](std::string_view where) {
        complain(err, "the VX-414 reader at " + std::string(where) +
                          " cannot clear codes; --clear needs an ELM327 adapter (--link elm327:...)");
        return ExitUsage;
    };
    if (isReader(*link)) return refuse(link->named->path);
    if (!arguments.yes && !environment.inIsTerminal) {
        complain(err, "--clear asks before it clears, and there is no terminal to ask on; give --yes to clear "
                      "without asking");
        return ExitUsage;
    }
    // Nothing named: the reader when /dev/vx414 is there, which the link decides.
    const std::unique_ptr<DeviceLibrary> device = environment.links.open(link->named);
    if (!environment.links.canClear(*device)) return refuse(DefaultLinkPath);

    // The codes are read, and the read kept, before anything is erased: what the car held
    // is never lost to a clear.
    DefinitionsTable table;
    if (!loadTable(table, *arguments.make, dataFileOf(arguments, environment), err)) return ExitDataFile;
    const TakenRead taken = takeRead(arguments, environment, *link, *device, table, " before clearing");
    if (!taken.report) {
        if (taken.status == ExitFailed) complain(err, "nothing cleared: the codes are read and kept before a clear");
        return taken.status;
    }
    // A clear never erases permanent codes: the car drops each once its own drive cycles
    // have found the fault gone. Said apart, so that nobody expects them gone; with nothing
    // else to erase, what a clear still does (reset the monitors) is the question.
    std::string permanent;
    bool erasable = false;
    for (const ReportCode& code : taken.report->codes) {
        if (code.kind == "Permanent")
            permanent += (permanent.empty() ? "" : ", ") + code.code;
        else
            erasable = true;
    }
    if (taken.report->fromEmulator()) err << kDemoNotice << ".\n";
    err << "The car holds " << codesInBrief(*taken.report) << ".\n";
    if (erasable) {
        err << "Clearing erases the car's trouble codes, its check-engine light, its freeze frame and its readiness "
               "monitors.\n";
        if (!permanent.empty()) err << "Its permanent codes stay (a clear never erases them): " << permanent << ".\n";
    } else {
        if (!permanent.empty())
            err << "A clear cannot erase permanent codes; the car drops each once its own drive cycles find the fault "
                   "gone.\n";
        err << "A clear now erases nothing but the readiness monitors' progress: the car must be driven again before "
               "an inspection.\n";
    }
    // The engine's speed, read now: a speed not read is never taken for an engine that is off.
    const EngineSpeed engine =
        environment.links.engineSpeed ? environment.links.engineSpeed(*device) : EngineSpeed{std::nullopt, "not asked"};
    const bool running = engine.rpm && *engine.rpm > 0;
    if (running) {
        err << "The engine is running (" << std::lround(*engine.rpm)
            << " rpm). Turn it off and leave the ignition on: with the engine running, the car may refuse the clear "
               "or set its codes again at once.\n";
    } else if (engine.rpm) {
        err << "The engine is off (0 rpm). Keep the ignition on.\n";
    } else {
        err << "The engine's speed could not be read (" << engine.notRead
            << "): the engine must be off and the ignition on.\n";
    }
    if (arguments.yes && running && !arguments.engineRunning) {
        complain(err, "nothing cleared while the engine runs; turn it off, or give --engine-running to clear all the "
                      "same");
        return ExitFailed;
    }
    if (!arguments.yes) {
        err << (erasable ? "Clear the codes now? [y/N] " : "Reset the readiness monitors now? [y/N] ") << std::flush;
        const std::optional<std::string> answer = environment.readAnswer ? environment.readAnswer() : std::nullopt;
        const bool yes = answer && (*answer == "y" || *answer == "Y" || *answer == "yes" || *answer == "YES" ||
                                    *answer == "Yes");
        if (!yes) {
            if (!answer) err << '\n';  // the line was ended without an answer
            complain(err, "nothing cleared");
            return ExitFailed;
        }
    }
    const KeptRead kept = keepReadBeforeClearing(environment.clearedFolder, *taken.report);
    if (!kept.ok()) {
        complain(err, "cannot keep the read before clearing (" + kept.error + "); nothing cleared");
        return ExitFailed;
    }
    err << "The read is kept in " << kept.path << "\n";
    if (environment.errIsTerminal) err << "Clearing the codes through " << link->shown << " ..." << std::flush;
    const ClearResult cleared = environment.links.clearCodes(*device);
    if (environment.errIsTerminal) err << "\r\033[K" << std::flush;
    if (cleared.status.code() == LinkCode::NoDevice) {
        complain(err, "no ELM327 adapter answered through " + link->shown + " (" + cleared.status.toString() +
                          "); nothing cleared");
        return ExitFailed;
    }
    if (!cleared.status.isOk()) {
        std::string refusals;
        if (!cleared.refused.empty()) refusals = "; refused by " + unitList(cleared.refused);
        complain(err, "the car did not confirm the clear through " + link->shown + refusals + " (" +
                          cleared.status.toString() + ")");
        return ExitFailed;
    }
    environment.out << "The car confirmed: its trouble codes are cleared.\n"
                    << "Confirmed by " << unitList(cleared.confirmed) << ".\n";
    // A unit that refuses 04 keeps its codes; the user should know which.
    if (!cleared.refused.empty()) environment.out << "Refused by " << unitList(cleared.refused) << ": its codes remain.\n";
    return ExitOk;
}

// One section a kind of link, a line an adapter: its link name, a Bluetooth device's name
// and signal, and whether it answered as an ELM327 or why not.
int listAdapters(CommandEnvironment& environment) {
    if (!environment.links.listAdapters) return ExitFailed;
    const AdapterListing listing = environment.links.listAdapters();
    const struct {
        ListedAdapter::Kind kind;
        const char* title;
    } sections[] = {{ListedAdapter::Kind::SerialPort, "Serial ports"},
                    {ListedAdapter::Kind::BluetoothLe, "Bluetooth LE devices BlueZ knows"},
                    {ListedAdapter::Kind::WiFi, "Wi-Fi"}};
    bool anyAnswered = false;
    for (const auto& section : sections) {
        environment.out << section.title << ":\n";
        bool any = false;
        for (const ListedAdapter& adapter : listing.adapters) {
            if (adapter.kind != section.kind) continue;
            any = true;
            anyAnswered = anyAnswered || adapter.answered;
            std::string line = "  " + adapter.link;
            if (!adapter.name.empty()) line += "  \"" + adapter.name + "\"";
            if (adapter.rssi) line += "  " + std::to_string(*adapter.rssi) + " dBm";
            line += adapter.answered ? "  answered as an ELM327" : "  " + adapter.note;
            environment.out << line << "\n";
        }
        if (section.kind == ListedAdapter::Kind::BluetoothLe && !listing.bluetooth.empty()) {
            environment.out << "  " << listing.bluetooth << "\n";
        } else if (!any) {
            environment.out << "  none\n";
        }
    }
    return anyAnswered ? ExitOk : ExitFailed;
}

}  // namespace

int runReadCommand(const ReadArguments& arguments, CommandEnvironment& environment) {
    switch (arguments.mode) {
    case Mode::Help: environment.out << usageText(); return ExitOk;
    case Mode::Version: environment.out << kProgram << ' ' << VX414_VERSION << '\n'; return ExitOk;
    case Mode::Lookup: return lookup(arguments, environment);
    case Mode::Glossary: return glossary(arguments, environment);
    case Mode::Clear: return clear(arguments, environment);
    case Mode::ListAdapters: return listAdapters(environment);
    case Mode::Previous: return previous(arguments, environment);
    case Mode::Live: {
        const std::optional<ChosenLink> link = chooseLink(arguments, environment);
        if (!link) return ExitUsage;
        if (isReader(*link)) {
            complain(environment.err, "the VX-414 reader at " + link->named->path +
                                          " holds codes only; --live needs an ELM327 adapter (--link elm327:...)");
            return ExitUsage;
        }
        return runLive(arguments, environment, link->named, link->shown);
    }
    case Mode::Read: break;
    }
    return read(arguments, environment);
}

std::string programFolder(const char* argv0) {
    std::error_code error;
    const std::filesystem::path exe = std::filesystem::canonical("/proc/self/exe", error);
    if (!error) return exe.parent_path().string();
    const std::filesystem::path named = std::filesystem::weakly_canonical(argv0 != nullptr ? argv0 : ".", error);
    return error ? std::string(".") : named.parent_path().string();
}

}  // namespace vx414::cli
