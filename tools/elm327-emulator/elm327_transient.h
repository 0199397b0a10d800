// Requests that a clone answers once with an error instead of their answer: the N-th
// request that starts with given hex digits, as a flaky adapter or bus does now and then.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vx414::elmemu {

struct TransientAnswer {
    enum class Kind { CanError, NoData };
    Kind kind = Kind::CanError;
    std::string start;  // upper-case hex digits the request starts with
    int nth = 1;        // which of the requests that start so, from 1
};

// "HEX" or "HEX@N", HEX in either letter case; empty when HEX is not hex or N not above 0.
std::optional<TransientAnswer> parseTransientAnswer(TransientAnswer::Kind kind, std::string_view text);

class TransientAnswers {
public:
    explicit TransientAnswers(std::vector<TransientAnswer> answers);
    // Counts one request (its hex digits in upper case, without spaces and without an answer
    // count); the error it is to be answered with instead, if it is one of the chosen.
    std::optional<TransientAnswer::Kind> take(std::string_view request);

private:
    std::vector<TransientAnswer> answers_;
    std::vector<int> seen_;  // for each answer, the requests that started so until now
};

}  // namespace vx414::elmemu
