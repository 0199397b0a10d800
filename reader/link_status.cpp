#include "reader/link_status.h"

namespace vx414 {

const char* linkCodeName(LinkCode code) {
    switch (code) {
    case LinkCode::Ok: return "ok";
    case LinkCode::NoDevice: return "no device";
    case LinkCode::Io: return "i/o error";
    case LinkCode::Timeout: return "timeout";
    case LinkCode::Protocol: return "protocol error";
    case LinkCode::NoVehicle: return "no vehicle";
    }
    return "unknown";
}

std::string LinkStatus::toString() const {
    std::string text = linkCodeName(code_);
    if (index_ >= 0) {
        text += " at index ";
        text += std::to_string(index_);
    }
    if (reason_[0] != '\0') {
        text += ": ";
        text += reason_;
    }
    return text;
}

}  // namespace vx414
