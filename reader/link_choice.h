// Which link a program reads through, and the adapter the user chose in the window's
// "Choose adapter…", kept between runs. In order: --link, then $VX414_LINK, then the kept
// choice, then automatic (the VX-414 reader at /dev/vx414, else the adapter search).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "reader/link_name.h"

namespace vx414 {

// The link name as --link takes it: "elm327://192.168.0.10:35000", "elm327:/dev/ttyUSB0?baud=38400",
// "elm327:ble:AA:BB:CC:DD:EE:FF", "/dev/ttyUSB0".
std::string linkNameText(const LinkName& name);

// A link typed in the dialog: a link name in any of its forms, or short: HOST:PORT for a
// Wi-Fi adapter, a path (/dev/rfcomm0, ?baud=N allowed) for an ELM327 adapter's port.
// Surrounding blanks are ignored; an error says what was expected.
LinkNameParse parseTypedLink(std::string_view typed);

// The choice kept in `folder`/link: one line, a link name or "automatic". Nothing (automatic)
// when none was kept, the folder is missing, or the line is not a link name.
std::optional<LinkName> loadLinkChoice(const std::string& folder);
// Keeps `choice` (nothing: automatic), creating the folder; false when it cannot be written.
bool saveLinkChoice(const std::string& folder, const std::optional<LinkName>& choice);

struct LinkInUse {
    enum class Origin { CommandLine, Environment, Kept, Automatic };
    Origin origin = Origin::Automatic;
    std::optional<LinkName> name;  // nothing: automatic, or `error`
    std::string text;              // as the user named it; empty for automatic
    std::string error;             // a --link or $VX414_LINK that is not a link name, with its origin
};

// --link (`commandLine`), else $VX414_LINK (`environment`, unset or empty: not named), else
// the choice kept in `folder` (empty: none looked for), else automatic. A bad --link or
// $VX414_LINK is an error, not a fall to the next.
LinkInUse chooseLinkInUse(const std::optional<std::string>& commandLine, const char* environment,
                          const std::string& folder);

}  // namespace vx414
