#include "report/report_json_read.h"

#include "report/vehicle_format.h"

#include <cmath>
#include <cstdlib>
#include <memory>
#include <utility>
#include <vector>

namespace vx414 {
namespace {

// ---- JSON ----------------------------------------------------------------------------------

struct JsonValue {
    enum class Type { Null, Bool, Number, String, Array, Object };
    Type type = Type::Null;
    bool boolean = false;
    double number = 0;
    std::string string;
    std::vector<JsonValue> items;
    // An object's members: names[i] is the name of values[i] (a vector of a type being
    // defined may be declared, a pair holding it may not).
    std::vector<std::string> names;
    std::vector<JsonValue> values;
    std::size_t at = 0;  // where it began, for messages

    const JsonValue* member(std::string_view name) const {
        for (std::size_t i = 0; i < names.size(); ++i)
            if (names[i] == name) return &values[i];
        return nullptr;
    }
};

// Nesting deeper than our documents ever go is refused, so a hostile file cannot exhaust
// the stack.
constexpr int kMaxDepth = 16;

class JsonParser {
public:
    explicit JsonParser(std::string_view text) : text_(text) {}

    bool parseDocument(JsonValue& out) {
        skipBlanks();
        if (!parseValue(out, 0)) return false;
        skipBlanks();
        if (pos_ != text_.size()) return fail("text after the document");
        return true;
    }
    const std::string& error() const { return error_; }

private:
    bool fail(std::string_view why) {
        if (error_.empty()) error_ = "bad JSON at byte " + std::to_string(pos_ + 1) + ": " + std::string(why);
        return false;
    }
    void skipBlanks() {
        while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t' || text_[pos_] == '\n' ||
                                       text_[pos_] == '\r'))
            ++pos_;
    }
    bool literal(std::string_view word) {
        if (text_.substr(pos_, word.size()) != word) return fail("unknown word");
        pos_ += word.size();
        return true;
    }
    bool parseValue(JsonValue& out, int depth) {
        if (depth > kMaxDepth) return fail("nested too deep");
        out.at = pos_;
        if (pos_ >= text_.size()) return fail("the text ends where a value should be");
        switch (text_[pos_]) {
        case '{': return parseObject(out, depth);
        case '[': return parseArray(out, depth);
        case '"': out.type = JsonValue::Type::String; return parseString(out.string);
        case 't': out.type = JsonValue::Type::Bool; out.boolean = true; return literal("true");
        case 'f': out.type = JsonValue::Type::Bool; return literal("false");
        case 'n': out.type = JsonValue::Type::Null; return literal("null");
        default: return parseNumber(out);
        }
    }
    bool parseNumber(JsonValue& out) {
        const std::size_t start = pos_;
        if (pos_ < text_.size() && text_[pos_] == '-') ++pos_;
        const auto digits = [&] {
            const std::size_t from = pos_;
            while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') ++pos_;
            return pos_ > from;
        };
        if (!digits()) return fail("not a value");
        if (pos_ < text_.size() && text_[pos_] == '.' && (++pos_, !digits()))
            return fail("a number without digits after its point");
        if (pos_ < text_.size() && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
            ++pos_;
            if (pos_ < text_.size() && (text_[pos_] == '+' || text_[pos_] == '-')) ++pos_;
            if (!digits()) return fail("a number without digits in its exponent");
        }
        const std::string number(text_.substr(start, pos_ - start));
        out.type = JsonValue::Type::Number;
        out.number = std::strtod(number.c_str(), nullptr);
        return true;
    }
    bool hex4(unsigned& value) {
        value = 0;
        for (int i = 0; i < 4; ++i, ++pos_) {
            if (pos_ >= text_.size()) return fail("the text ends inside an escape");
            const char c = text_[pos_];
            const unsigned digit = c >= '0' && c <= '9'   ? static_cast<unsigned>(c - '0')
                                   : c >= 'a' && c <= 'f' ? static_cast<unsigned>(c - 'a' + 10)
                                   : c >= 'A' && c <= 'F' ? static_cast<unsigned>(c - 'A' + 10)
                                                          : 16U;
            if (digit == 16) return fail("a bad \\u escape");
            value = value * 16 + digit;
        }
        return true;
    }
    static void appendUtf8(std::string& out, unsigned cp) {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    bool parseString(std::string& out) {
        ++pos_;  // the opening quote
        while (true) {
            if (pos_ >= text_.size()) return fail("the text ends inside a string");
            const char c = text_[pos_++];
            if (c == '"') return true;
            if (static_cast<unsigned char>(c) < 0x20) return --pos_, fail("a control character inside a string");
            if (c != '\\') {
                out += c;
                continue;
            }
            if (pos_ >= text_.size()) return fail("the text ends inside an escape");
            const char e = text_[pos_++];
            switch (e) {
            case '"': out += '"'; break;
            case '\\': out += '\\'; break;
            case '/': out += '/'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'u': {
                unsigned cp = 0;
                if (!hex4(cp)) return false;
                if (cp >= 0xD800 && cp <= 0xDBFF) {
                    unsigned low = 0;
                    if (text_.substr(pos_, 2) != "\\u") return fail("half a surrogate pair");
                    pos_ += 2;
                    if (!hex4(low)) return false;
                    if (low < 0xDC00 || low > 0xDFFF) return fail("half a surrogate pair");
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
                    return fail("half a surrogate pair");
                }
                appendUtf8(out, cp);
                break;
            }
            default: --pos_; return fail("an unknown escape");
            }
        }
    }
    bool parseArray(JsonValue& out, int depth) {
        out.type = JsonValue::Type::Array;
        ++pos_;
        skipBlanks();
        if (pos_ < text_.size() && text_[pos_] == ']') return ++pos_, true;
        while (true) {
            skipBlanks();
            out.items.emplace_back();
            if (!parseValue(out.items.back(), depth + 1)) return false;
            skipBlanks();
            if (pos_ >= text_.size()) return fail("the text ends inside an array");
            const char c = text_[pos_++];
            if (c == ']') return true;
            if (c != ',') return --pos_, fail("neither , nor ] after an array's item");
        }
    }
    bool parseObject(JsonValue& out, int depth) {
        out.type = JsonValue::Type::Object;
        ++pos_;
        skipBlanks();
        if (pos_ < text_.size() && text_[pos_] == '}') return ++pos_, true;
        while (true) {
            skipBlanks();
            if (pos_ >= text_.size() || text_[pos_] != '"') return fail("a member without a quoted name");
            std::string name;
            if (!parseString(name)) return false;
            skipBlanks();
            if (pos_ >= text_.size() || text_[pos_] != ':') return fail("no : after a member's name");
            ++pos_;
            skipBlanks();
            out.names.push_back(std::move(name));
            out.values.emplace_back();
            if (!parseValue(out.values.back(), depth + 1)) return false;
            skipBlanks();
            if (pos_ >= text_.size()) return fail("the text ends inside an object");
            const char c = text_[pos_++];
            if (c == '}') return true;
            if (c != ',') return --pos_, fail("neither , nor } after an object's member");
        }
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    std::string error_;
};

// ---- The read ------------------------------------------------------------------------------

using Type = JsonValue::Type;

// Says what is wrong with a member, and where it is.
struct Shape {
    std::string error;
    bool fail(const JsonValue& where, std::string_view why) {
        if (error.empty()) error = "not a vx414 read at byte " + std::to_string(where.at + 1) + ": " + std::string(why);
        return false;
    }
};

bool stringOf(Shape& shape, const JsonValue& object, std::string_view name, std::string& out, bool nullable) {
    const JsonValue* value = object.member(name);
    if (value == nullptr) return shape.fail(object, "no \"" + std::string(name) + "\"");
    if (nullable && value->type == Type::Null) return true;
    if (value->type != Type::String) return shape.fail(*value, "\"" + std::string(name) + "\" is not a text");
    out = value->string;
    return true;
}

bool timeOf(Shape& shape, const JsonValue& value, LocalTime& time) {
    // "2026-12-07T22:49:01+01:00", as isoTime writes it: digits where digits stand.
    const std::string_view t = value.string;
    constexpr std::string_view pattern = "dddd-dd-ddTdd:dd:dd+dd:dd";
    bool shaped = t.size() == pattern.size();
    for (std::size_t i = 0; shaped && i < t.size(); ++i) {
        if (pattern[i] == 'd') shaped = t[i] >= '0' && t[i] <= '9';
        else if (pattern[i] == '+') shaped = t[i] == '+' || t[i] == '-';
        else shaped = t[i] == pattern[i];
    }
    const auto number = [&t](std::size_t at, std::size_t digits) {
        int n = 0;
        for (std::size_t i = at; i < at + digits; ++i) n = n * 10 + (t[i] - '0');
        return n;
    };
    if (shaped) {
        time = LocalTime{number(0, 4), number(5, 2), number(8, 2), number(11, 2), number(14, 2), number(17, 2),
                         (t[19] == '-' ? -1 : 1) * (number(20, 2) * 60 + number(23, 2))};
    }
    const bool valid = shaped && time.month >= 1 && time.month <= 12 && time.day >= 1 && time.day <= 31 &&
                       time.hour <= 23 && time.minute <= 59 && time.second <= 60 && number(23, 2) <= 59;
    if (!valid) return shape.fail(value, "\"time\" is not a time as 2026-12-07T22:49:01+01:00");
    return true;
}

std::optional<TroubleCode> codeOf(std::string_view text) {
    const std::optional<std::array<std::uint8_t, 2>> bytes = encodeTroubleCode(text);
    if (!bytes) return std::nullopt;
    return decodeTroubleCode((*bytes)[0], (*bytes)[1]);
}

bool codesOf(Shape& shape, const JsonValue& document, ReadReport& report) {
    const JsonValue* codes = document.member("codes");
    if (codes == nullptr || codes->type != Type::Array)
        return shape.fail(codes ? *codes : document, "no \"codes\" list");
    for (const JsonValue& item : codes->items) {
        if (item.type != Type::Object) return shape.fail(item, "a code that is not an object");
        ReportCode code;
        if (!stringOf(shape, item, "kind", code.kind, false) || !stringOf(shape, item, "code", code.code, false) ||
            !stringOf(shape, item, "definition", code.definition, false))
            return false;
        if (item.member("unit") != nullptr && !stringOf(shape, item, "unit", code.unit, true)) return false;
        if (item.member("definition_source") != nullptr &&
            !stringOf(shape, item, "definition_source", code.definitionSource, true))
            return false;
        if (code.kind != "Pending" && code.kind != "Stored" && code.kind != "Permanent")
            return shape.fail(item, "a code of kind \"" + code.kind + "\"");
        if (!codeOf(code.code)) return shape.fail(item, "\"" + code.code + "\" is not a trouble code");
        report.codes.push_back(std::move(code));
    }
    return true;
}

// The units by name, each with its codes by kind, in the order the codes name them.
void rebuildUnits(ReadReport& report) {
    VehicleInfo& vehicle = report.vehicle;
    for (const ReportCode& code : report.codes) {
        const std::optional<TroubleCode> parsed = codeOf(code.code);
        if (code.kind == "Permanent") vehicle.permanent.push_back(*parsed);
        std::string_view names = code.unit;
        while (!names.empty()) {
            const std::size_t comma = names.find(", ");
            const std::string name(names.substr(0, comma));
            names = comma == std::string_view::npos ? std::string_view{} : names.substr(comma + 2);
            UnitCodes* unit = nullptr;
            for (UnitCodes& u : vehicle.units)
                if (u.name == name) unit = &u;
            if (unit == nullptr) unit = &vehicle.units.emplace_back(UnitCodes{"", name, {}, {}, {}});
            (code.kind == "Pending" ? unit->pending : code.kind == "Stored" ? unit->stored : unit->permanent)
                .push_back(*parsed);
        }
    }
}

// A list of texts, when the document has it.
bool stringsOf(Shape& shape, const JsonValue& object, std::string_view name, std::vector<std::string>& out) {
    const JsonValue* list = object.member(name);
    if (list == nullptr) return true;
    if (list->type != Type::Array) return shape.fail(*list, "\"" + std::string(name) + "\" is not a list");
    for (const JsonValue& item : list->items) {
        if (item.type != Type::String) return shape.fail(item, "\"" + std::string(name) + "\" holds a non-text");
        out.push_back(item.string);
    }
    return true;
}

std::optional<VehicleItem> itemNamed(std::string_view name) {
    for (const VehicleItem item : {VehicleItem::Readiness, VehicleItem::FreezeFrame, VehicleItem::Permanent, VehicleItem::Vin})
        if (vehicleItemName(item) == name) return item;
    return std::nullopt;
}

bool vehicleOf(Shape& shape, const JsonValue& document, VehicleInfo& vehicle) {
    if (document.member("vin") != nullptr && !stringOf(shape, document, "vin", vehicle.vin, true)) return false;
    if (const JsonValue* year = document.member("model_year"); year != nullptr && year->type != Type::Null) {
        if (year->type != Type::Number || year->number < 1980 || year->number > 2100 ||
            std::floor(year->number) != year->number)
            return shape.fail(*year, "\"model_year\" is not a year");
        vehicle.modelYear = static_cast<int>(year->number);
    }
    if (const JsonValue* given = document.member("model_year_given"); given != nullptr) {
        if (given->type != Type::Bool) return shape.fail(*given, "\"model_year_given\" is neither true nor false");
        vehicle.modelYearGiven = given->boolean && vehicle.modelYear > 0;
    }
    if (const JsonValue* mil = document.member("mil"); mil != nullptr && mil->type != Type::Null) {
        if (mil->type != Type::Bool) return shape.fail(*mil, "\"mil\" is neither true nor false");
        vehicle.mil = mil->boolean;
    }
    if (const JsonValue* readiness = document.member("readiness"); readiness != nullptr) {
        if (readiness->type != Type::Array) return shape.fail(*readiness, "\"readiness\" is not a list");
        for (const JsonValue& item : readiness->items) {
            if (item.type != Type::Object) return shape.fail(item, "a monitor that is not an object");
            MonitorStatus monitor;
            std::string status;
            if (!stringOf(shape, item, "monitor", monitor.monitor, false) ||
                !stringOf(shape, item, "status", status, false))
                return false;
            if (status == "complete") monitor.state = MonitorState::Complete;
            else if (status == "incomplete") monitor.state = MonitorState::Incomplete;
            else if (status == "not supported") monitor.state = MonitorState::NotSupported;
            else return shape.fail(item, "a monitor's status \"" + status + "\"");
            vehicle.readiness.push_back(std::move(monitor));
        }
    }
    if (document.member("inspection") != nullptr && !stringOf(shape, document, "inspection", vehicle.inspection, true))
        return false;
    // Written from version 3 on: older kept reads simply lack them.
    if (document.member("vin_warning") != nullptr &&
        !stringOf(shape, document, "vin_warning", vehicle.vinWarning, true))
        return false;
    if (const JsonValue* verdict = document.member("inspection_verdict"); verdict != nullptr && verdict->type != Type::Null) {
        const std::string_view word = verdict->type == Type::String ? std::string_view(verdict->string) : "";
        if (word == "ready") vehicle.inspectionVerdict = InspectionVerdict::Ready;
        else if (word == "not_ready") vehicle.inspectionVerdict = InspectionVerdict::NotReady;
        else if (word == "fails") vehicle.inspectionVerdict = InspectionVerdict::Fails;
        else return shape.fail(*verdict, "\"inspection_verdict\" is none of ready, not_ready, fails");
    }
    if (!stringsOf(shape, document, "incomplete_monitors", vehicle.incompleteMonitors)) return false;
    std::vector<std::string> notRead;
    if (!stringsOf(shape, document, "not_read", notRead)) return false;
    const JsonValue* reasons = document.member("not_read_reasons");
    for (const std::string& name : notRead) {
        ItemNotRead item;
        const auto known = itemNamed(name);
        if (!known) return shape.fail(document, "an item not read named \"" + name + "\"");
        item.item = *known;
        if (reasons != nullptr && reasons->type == Type::Object && reasons->member(name) != nullptr &&
            !stringOf(shape, *reasons, name, item.reason, true))
            return false;
        vehicle.notRead.push_back(std::move(item));
    }
    const JsonValue* frame = document.member("freeze_frame");
    if (frame == nullptr || frame->type == Type::Null) return true;
    if (frame->type != Type::Object) return shape.fail(*frame, "\"freeze_frame\" is not an object");
    FreezeFrame freeze;
    std::string code;
    if (!stringOf(shape, *frame, "code", code, true)) return false;
    if (!code.empty()) {
        freeze.code = codeOf(code);
        if (!freeze.code) return shape.fail(*frame, "the freeze frame's \"" + code + "\" is not a trouble code");
    }
    const JsonValue* values = frame->member("values");
    if (values == nullptr || values->type != Type::Array)
        return shape.fail(*frame, "the freeze frame has no \"values\" list");
    for (const JsonValue& item : values->items) {
        if (item.type != Type::Object) return shape.fail(item, "a freeze-frame value that is not an object");
        FreezeValue value;
        if (!stringOf(shape, item, "name", value.name, false) || !stringOf(shape, item, "unit", value.unit, false))
            return false;
        const JsonValue* number = item.member("value");
        if (number == nullptr || (number->type != Type::Number && number->type != Type::Null))
            return shape.fail(item, "a freeze-frame value without a number");
        value.value = number->type == Type::Number ? number->number : std::nan("");
        freeze.values.push_back(std::move(value));
    }
    vehicle.freezeFrame = std::move(freeze);
    return true;
}

// Written from version 4 on: an older read came from a car, or says nothing of it.
bool sourceOf(Shape& shape, const JsonValue& document, ReadReport& report) {
    if (document.member("source") == nullptr) return true;
    if (!stringOf(shape, document, "source", report.source, true)) return false;
    if (!report.source.empty() && report.source != kEmulatorSource)
        return shape.fail(*document.member("source"), "a source \"" + report.source + "\"");
    return true;
}

}  // namespace

ReadFromJson reportFromJson(std::string_view text) {
    JsonValue document;
    JsonParser parser(text);
    if (!parser.parseDocument(document)) return {std::nullopt, parser.error()};
    Shape shape;
    if (document.type != Type::Object) {
        shape.fail(document, "the document is not an object");
        return {std::nullopt, shape.error};
    }
    ReadReport report;
    std::string time;
    const JsonValue* version = document.member("version");
    const bool known = version != nullptr && version->type == Type::Number && version->number >= 1 &&
                       version->number <= ReportJsonVersion && std::floor(version->number) == version->number;
    if (!known) shape.fail(version ? *version : document, "no \"version\" this program reads");
    const bool ok = known && stringOf(shape, document, "time", time, false) &&
                    timeOf(shape, *document.member("time"), report.time) &&
                    stringOf(shape, document, "make", report.make, false) && sourceOf(shape, document, report) &&
                    codesOf(shape, document, report) &&
                    vehicleOf(shape, document, report.vehicle);
    if (!ok) return {std::nullopt, shape.error};
    rebuildUnits(report);
    return {std::move(report), {}};
}

}  // namespace vx414
