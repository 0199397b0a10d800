#include "tools/read/read_arguments.h"

#include <gtest/gtest.h>

#include <vector>

namespace vx414::cli {
namespace {

ParsedReadArguments parse(std::vector<std::string_view> arguments) { return parseReadArguments(arguments); }

TEST(ReadArguments, WhatEachCommandLineAsksFor) {
    struct Case {
        std::vector<std::string_view> arguments;
        Mode mode;
        Format format;
        std::string_view make;
        std::string link;  // "" none
        std::string code;
    };
    const Case cases[] = {
        {{}, Mode::Read, Format::Text, "generic", "", ""},
        {{"--make", "BMW", "--format", "json"}, Mode::Read, Format::Json, "bmw", "", ""},
        {{"--make=Land Rover", "--format=csv", "--link", "elm327://127.0.0.1:35000"}, Mode::Read, Format::Csv,
         "land rover", "elm327://127.0.0.1:35000", ""},
        {{"--lookup", "p03"}, Mode::Lookup, Format::Text, "generic", "", "P03"},
        {{"--make", "mmc", "--lookup=u0100"}, Mode::Lookup, Format::Text, "mmc", "", "U0100"},
        {{"--glossary", "abs", "--format", "json"}, Mode::Glossary, Format::Json, "generic", "", ""},
        {{"--clear", "--yes", "--link", "elm327:/dev/ttyUSB0"}, Mode::Clear, Format::Text, "generic",
         "elm327:/dev/ttyUSB0", ""},
        {{"--make", "audi", "--help"}, Mode::Help, Format::Text, "audi", "", ""},
        {{"--version"}, Mode::Version, Format::Text, "generic", "", ""},
        {{"--list-adapters"}, Mode::ListAdapters, Format::Text, "generic", "", ""},
        {{"--lookup", "p03", "--format", "json"}, Mode::Lookup, Format::Json, "generic", "", "P03"},
        {{"--make", "kia", "--"}, Mode::Read, Format::Text, "kia", "", ""},
        {{"--"}, Mode::Read, Format::Text, "generic", "", ""},
        // names as people type them (the alias table has its own test)
        {{"--make", "VW"}, Mode::Read, Format::Text, "volkswagen", "", ""},
        {{"--make=Range Rover", "--lookup", "P1"}, Mode::Lookup, Format::Text, "land rover", "", "P1"},
        {{"--make", "landrover"}, Mode::Read, Format::Text, "land rover", "", ""},
    };
    // --previous with its number or without: the list.
    const struct {
        std::vector<std::string_view> arguments;
        int previous;
        Format format;
    } previous[] = {
        {{"--previous"}, 0, Format::Text},
        {{"--previous", "2", "--format", "json"}, 2, Format::Json},
        {{"--previous=12", "--format=csv", "--no-header"}, 12, Format::Csv},
        {{"--format", "csv", "--previous", "1"}, 1, Format::Csv},
    };
    for (const auto& c : previous) {
        const ParsedReadArguments parsed = parse(c.arguments);
        ASSERT_TRUE(parsed.arguments) << parsed.error;
        EXPECT_EQ(parsed.arguments->mode, Mode::Previous);
        EXPECT_EQ(parsed.arguments->previous, c.previous);
        EXPECT_EQ(parsed.arguments->format, c.format);
    }
    for (const Case& c : cases) {
        const ParsedReadArguments parsed = parse(c.arguments);
        const std::string shown = c.arguments.empty() ? "(none)" : std::string(c.arguments.front());
        ASSERT_TRUE(parsed.arguments) << shown << ": " << parsed.error;
        EXPECT_EQ(parsed.arguments->mode, c.mode) << shown;
        EXPECT_EQ(parsed.arguments->format, c.format) << shown;
        EXPECT_EQ(parsed.arguments->make->name, c.make) << shown;
        EXPECT_EQ(parsed.arguments->link.value_or(""), c.link) << shown;
        EXPECT_EQ(parsed.arguments->code, c.code) << shown;
    }
    EXPECT_EQ(parse({"--glossary", "ABS light"}).arguments->term, "ABS light");
    EXPECT_EQ(parse({"--glossary", ""}).arguments->term, "");
    EXPECT_TRUE(parse({"--clear", "-y"}).arguments->yes);
    EXPECT_EQ(parse({"--data", "/tmp/x.dis"}).arguments->dataFile, "/tmp/x.dis");
    EXPECT_TRUE(parse({"--format", "csv"}).arguments->header);
    EXPECT_FALSE(parse({"--format", "csv", "--no-header"}).arguments->header);
    EXPECT_FALSE(parse({"--no-header", "--glossary", "O2", "--format=csv"}).arguments->header);
}

TEST(ReadArguments, EveryMisuseGetsItsOwnLine) {
    struct Case {
        std::vector<std::string_view> arguments;
        std::string_view error;
    };
    const Case cases[] = {
        {{"--colour"}, "unknown option --colour"},
        {{"-x"}, "unknown option -x"},
        {{"--bogus", "--help"}, "unknown option --bogus"},  // said before a later --help is seen
        {{"P0300"}, "unexpected argument \"P0300\""},
        {{"--make"}, "--make needs a value"},
        {{"--make", "tesla"}, "unknown make \"tesla\""},
        {{"--make", "volks"}, "unknown make \"volks\""},  // a name is whole
        {{"--make", "bmw", "--make", "audi"}, "--make given twice"},
        {{"--format", "xml"}, "unknown format \"xml\" (text, csv or json)"},
        {{"--format", "csv", "--format", "csv"}, "--format given twice"},
        {{"--link", "a", "--link", "b"}, "--link given twice"},
        {{"--data", ""}, "--data needs a file"},
        {{"--clear=yes"}, "--clear takes no value"},
        {{"--lookup", "P0300", "--glossary", "ABS"}, "--lookup and --glossary cannot be used together"},
        {{"--clear", "--lookup", "P0"}, "--clear and --lookup cannot be used together"},
        {{"--lookup", "P0300", "--format", "csv"}, "--format csv does not go with --lookup"},
        {{"--lookup", "P0300", "--lookup", "P0171"}, "--lookup given twice"},
        {{"--lookup=P0300", "--lookup", "P0300"}, "--lookup given twice"},
        {{"--glossary", "O2", "--glossary", "ABS"}, "--glossary given twice"},
        {{"--", "P0300"}, "unexpected argument \"P0300\""},
        {{"--", "--make", "bmw"}, "unexpected argument \"--make\""},
        {{"--no-header"}, "--no-header goes with --format csv"},
        {{"--format", "json", "--no-header"}, "--no-header goes with --format csv"},
        {{"--no-header=1", "--format", "csv"}, "--no-header takes no value"},
        {{"--lookup", "P0300", "--link", "/dev/ttyUSB0"}, "--link does not go with --lookup"},
        {{"--glossary", "ABS", "--make", "bmw"}, "--make does not go with --glossary"},
        {{"--glossary", "ABS", "--link", "/dev/ttyUSB0"}, "--link does not go with --glossary"},
        {{"--clear", "--make", "bmw"}, "--make does not go with --clear"},
        {{"--lookup", "P0300", "--model-year", "1999"}, "--model-year does not go with --lookup"},
        {{"--model-year", "99"}, "--model-year takes a year from 1980 to 2100, not \"99\""},
        {{"--model-year", "1999", "--model-year", "2000"}, "--model-year given twice"},
        {{"--clear", "--format", "csv"}, "--format does not go with --clear"},
        {{"--yes"}, "--yes does not go with a read"},
        {{"--previous", "0"}, "--previous takes the number of a kept read as --previous lists them (1 the newest), not \"0\""},
        {{"--previous=x"}, "--previous takes the number of a kept read as --previous lists them (1 the newest), not \"x\""},
        {{"--previous", "x"}, "unexpected argument \"x\""},
        {{"--previous", "--format", "csv"}, "--format goes with --previous N, not with the list"},
        {{"--previous", "1", "--make", "bmw"}, "--make does not go with --previous"},
        {{"--previous", "1", "--previous", "2"}, "--previous given twice"},
        {{"--clear", "--previous"}, "--clear and --previous cannot be used together"},
    };
    for (const Case& c : cases) {
        const ParsedReadArguments parsed = parse(c.arguments);
        EXPECT_FALSE(parsed.arguments) << c.error;
        EXPECT_EQ(parsed.error, c.error);
    }
}

TEST(ReadArguments, LiveRunsAndTheirMisuse) {
    struct Case {
        std::vector<std::string_view> arguments;
        std::string error;  // "" when taken
        std::vector<std::uint8_t> pids{};
        Format format = Format::Csv;
        int intervalMs = 1000;
        int durationSeconds = 0;  // 0: none given
    };
    const std::vector<Case> cases = {
        {{"--live", "0C,05,0d"}, "", {0x0C, 0x05, 0x0D}},
        {{"--live=all", "--format", "json", "--interval", "0", "--duration", "60"}, "", {}, Format::Json, 0, 60},
        {{"--live", "c,C,0C", "--units", "us", "--interval=250"}, "", {0x0C}, Format::Csv, 250},
        {{"--live", "5C,34", "--link", "elm327://127.0.0.1:35000", "--format", "csv", "--no-header"}, "", {0x5C, 0x34}},
        {{"--live", "12"}, "PID 12 is not one of the live values this program reads"},
        {{"--live", "0C,,05"}, "\"\" is not a PID (two hexadecimal digits, as 0C; PIDs separated by commas, or all)"},
        {{"--live", "0G"}, "\"0G\" is not a PID (two hexadecimal digits, as 0C; PIDs separated by commas, or all)"},
        {{"--live", "10C"}, "\"10C\" is not a PID (two hexadecimal digits, as 0C; PIDs separated by commas, or all)"},
        {{"--live", "0C", "--interval", "-5"}, "--interval takes 0 to 60000 milliseconds, not \"-5\""},
        {{"--live", "0C", "--interval", "9999999999"}, "--interval takes 0 to 60000 milliseconds, not \"9999999999\""},
        {{"--live", "0C", "--interval", "1.5"}, "--interval takes 0 to 60000 milliseconds, not \"1.5\""},
        {{"--live", "0C", "--duration", "0"}, "--duration takes 1 to 604800 seconds, not \"0\""},
        {{"--live", "0C", "--units", "imperial"}, "unknown units \"imperial\" (metric or us)"},
        {{"--live", "0C", "--format", "text"}, "--live writes csv or json, not text"},
        {{"--live", "0C", "--make", "bmw"}, "--make does not go with --live"},
        {{"--live", "0C", "--clear"}, "--live and --clear cannot be used together"},
        {{"--interval", "100"}, "--interval goes with --live"},
        {{"--units", "us"}, "--units goes with --live"},
    };
    for (const Case& c : cases) {
        const ParsedReadArguments parsed = parse(c.arguments);
        EXPECT_EQ(parsed.error, c.error) << c.arguments.back();
        if (!c.error.empty() || !parsed.arguments) continue;
        EXPECT_EQ(parsed.arguments->mode, Mode::Live);
        EXPECT_EQ(parsed.arguments->livePids, c.pids) << c.arguments[1];
        EXPECT_EQ(parsed.arguments->format, c.format) << c.arguments[1];
        EXPECT_EQ(parsed.arguments->intervalMs, c.intervalMs) << c.arguments[1];
        EXPECT_EQ(parsed.arguments->durationSeconds.value_or(0), c.durationSeconds) << c.arguments[1];
    }
    EXPECT_EQ(parse({"--live", "0C", "--units", "us"}).arguments->units, UnitSystem::Us);
}

TEST(ReadArguments, ACodeToLookUpIsACodeOrItsBeginning) {
    for (std::string_view good : {"P", "p", "c3", "B1", "U0", "P03", "P030", "P0300", "u3fff", "P2BFF", "b0aAa"})
        EXPECT_TRUE(isCodeBeginning(good)) << good;
    for (std::string_view bad : {"", "X", "0300", "P4", "P9000", "P03000", "P03G0", "P 300", "P030 ", " P03",
                                 "PP", "P-3", "\xC9"})
        EXPECT_FALSE(isCodeBeginning(bad)) << bad;
    const ParsedReadArguments parsed = parse({"--lookup", "P9"});
    EXPECT_FALSE(parsed.arguments);
    EXPECT_NE(parsed.error.find("\"P9\" is not a trouble code"), std::string::npos) << parsed.error;
}

TEST(ReadArguments, TheHelpNamesEveryOptionAndEveryMake) {
    const std::string usage = usageText();
    for (std::string_view option : {"--link", "--make", "--format", "--data", "--lookup", "--glossary", "--clear",
                                    "--yes", "--no-header", "--previous", "--list-adapters", "--live", "--interval",
                                    "--duration", "--units", "--help", "--version", "elm327:PATH", "elm327://HOST:PORT",
                                    "elm327:ble:", "VX414_LINK",
                                    "/dev/vx414"})
        EXPECT_NE(usage.find(option), std::string::npos) << option;
    // One make a line, in the list's order, its other names beside it.
    const std::size_t list = usage.find("\n", usage.find("Makes")) + 1;
    const std::string shown = usage.substr(list);
    std::string withoutOthers;  // the list with every "(also ...)" taken off
    for (std::size_t start = 0; start < shown.size();) {
        const std::size_t end = shown.find('\n', start);
        std::string line = shown.substr(start, end - start);
        line = line.substr(0, line.find(" (also "));
        withoutOthers += line + "\n";
        start = end + 1;
    }
    std::string plain;
    for (const MakeSection& make : kMakeSections) plain += "  " + std::string(make.name) + "\n";
    EXPECT_EQ(withoutOthers, plain);
    for (const char* line : {"  volkswagen (also vw)\n", "  land rover (also range rover)\n",
                             "  smart smart city (also smart)\n", "  cabrio\n", "  fortwo\n"})
        EXPECT_NE(shown.find(line), std::string::npos) << line;
    std::size_t start = 0;
    while (start < usage.size()) {
        const std::size_t end = usage.find('\n', start);
        EXPECT_LE(end - start, 80u) << usage.substr(start, end - start);
        start = end + 1;
    }
}

}  // namespace
}  // namespace vx414::cli
