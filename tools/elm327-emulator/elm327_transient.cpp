#include "tools/elm327-emulator/elm327_transient.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <utility>

namespace vx414::elmemu {

std::optional<TransientAnswer> parseTransientAnswer(TransientAnswer::Kind kind, std::string_view text) {
    const std::size_t at = text.find('@');
    const std::string_view digits = text.substr(0, at);
    if (digits.empty() ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; })) {
        return std::nullopt;
    }
    TransientAnswer answer{kind, {}, 1};
    for (const char c : digits) answer.start += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (at != std::string_view::npos) {
        const std::string_view count = text.substr(at + 1);
        const char* const end = count.data() + count.size();
        const auto [stop, error] = std::from_chars(count.data(), end, answer.nth);
        if (count.empty() || error != std::errc() || stop != end || answer.nth < 1) return std::nullopt;
    }
    return answer;
}

TransientAnswers::TransientAnswers(std::vector<TransientAnswer> answers)
    : answers_(std::move(answers)), seen_(answers_.size(), 0) {}

std::optional<TransientAnswer::Kind> TransientAnswers::take(std::string_view request) {
    std::optional<TransientAnswer::Kind> kind;
    for (std::size_t i = 0; i < answers_.size(); ++i) {
        if (!request.starts_with(answers_[i].start)) continue;
        // Counted up to the chosen one only, so that the count never runs over.
        if (seen_[i] < answers_[i].nth && ++seen_[i] == answers_[i].nth && !kind) kind = answers_[i].kind;
    }
    return kind;
}

}  // namespace vx414::elmemu
