#include "reader/link_choice.h"

#include "reader/link_name.h"

#include <filesystem>
#include <fstream>

namespace vx414 {
namespace {

constexpr std::string_view Automatic = "automatic";
constexpr const char* ChoiceFile = "link";
constexpr std::size_t MaxChoiceBytes = 1024;

std::string_view trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

}  // namespace

std::string linkNameText(const LinkName& name) {
    switch (name.kind) {
    case LinkName::Kind::ReaderTty: return name.path;
    case LinkName::Kind::Elm327Tty:
        return "elm327:" + name.path + (name.baud != 0 ? "?baud=" + std::to_string(name.baud) : std::string());
    case LinkName::Kind::Elm327Tcp: {
        const bool ipv6 = name.host.find(':') != std::string::npos;
        return "elm327://" + (ipv6 ? "[" + name.host + "]" : name.host) + ":" + std::to_string(name.port);
    }
    case LinkName::Kind::Elm327Ble: return "elm327:ble:" + name.address;
    }
    return {};
}

LinkNameParse parseTypedLink(std::string_view typed) {
    const std::string_view text = trimmed(typed);
    if (text.empty()) return {std::nullopt, "nothing typed (a host:port, a port's path or a link name)"};
    if (text.starts_with("elm327:")) return parseLinkName(text);
    // In this dialog a path is an adapter's port: the VX-414 reader is found by the automatic
    // choice at /dev/vx414, and named elsewhere with --link.
    if (text.front() == '/') return parseLinkName("elm327:" + std::string(text));
    LinkNameParse parsed = parseLinkName("elm327://" + std::string(text));
    if (!parsed.name) parsed.error = "\"" + std::string(text) + "\" is neither a host:port (192.168.0.10:35000), "
                                     "a port's path (/dev/rfcomm0) nor a link name (elm327:...)";
    return parsed;
}

std::optional<LinkName> loadLinkChoice(const std::string& folder) {
    if (folder.empty()) return std::nullopt;
    std::ifstream in(std::filesystem::path(folder) / ChoiceFile, std::ios::binary);
    // A link name is a line; more than this is not one the dialog wrote.
    std::string bytes(MaxChoiceBytes, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    const std::string_view text = trimmed(bytes);
    if (text.empty() || text == Automatic || bytes.size() == MaxChoiceBytes) return std::nullopt;
    // A file damaged by hand or by a crash is automatic, as if none were kept: only a line
    // this program writes, an absolute path or an elm327: name in plain characters, is taken.
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7f) return std::nullopt;
    }
    std::optional<LinkName> name = parseLinkName(text).name;
    if (name && name->kind == LinkName::Kind::ReaderTty && text.front() != '/') return std::nullopt;
    return name;
}

bool saveLinkChoice(const std::string& folder, const std::optional<LinkName>& choice) {
    if (folder.empty()) return false;
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    std::ofstream out(std::filesystem::path(folder) / ChoiceFile, std::ios::trunc);
    out << (choice ? linkNameText(*choice) : std::string(Automatic)) << '\n';
    return static_cast<bool>(out.flush());
}

LinkInUse chooseLinkInUse(const std::optional<std::string>& commandLine, const char* environment,
                          const std::string& folder) {
    LinkInUse use;
    std::string_view origin;
    if (commandLine) {
        use.origin = LinkInUse::Origin::CommandLine;
        use.text = *commandLine;
        origin = "--link";
    } else if (environment != nullptr && environment[0] != '\0') {
        use.origin = LinkInUse::Origin::Environment;
        use.text = environment;
        origin = LinkEnvironmentVariable;
    } else {
        use.name = loadLinkChoice(folder);
        if (use.name) {
            use.origin = LinkInUse::Origin::Kept;
            use.text = linkNameText(*use.name);
        }
        return use;
    }
    LinkNameParse parsed = parseLinkName(use.text);
    if (!parsed.name) use.error = std::string(origin) + ": " + parsed.error;
    use.name = std::move(parsed.name);
    return use;
}

}  // namespace vx414
