#include "reader/elm327/testing/scripted_transport.h"

#include <algorithm>
#include <thread>

namespace vx414::elm327 {

LinkStatus ScriptedTransport::open(Deadline) {
    ++opens;
    open_ = true;
    return LinkStatus::ok();
}

void ScriptedTransport::close() {
    open_ = false;
    arriving_.clear();
    partial_.clear();
}

LinkStatus ScriptedTransport::write(std::string_view bytes, Deadline) {
    if (!writeFault.isOk()) return writeFault;
    if (!open_) return {LinkCode::Io, "closed"};
    partial_ += bytes;
    for (std::size_t end = partial_.find('\r'); end != std::string::npos; end = partial_.find('\r')) {
        const std::string command = partial_.substr(0, end);
        partial_.erase(0, end + 1);
        commands_.push_back(command);
        const Clock::time_point now = Clock::now();
        for (Chunk& chunk : script_(command)) arriving_.push_back({now + chunk.after, std::move(chunk.text)});
        std::stable_sort(arriving_.begin(), arriving_.end(),
                         [](const Pending& a, const Pending& b) { return a.due < b.due; });
    }
    return LinkStatus::ok();
}

LinkStatus ScriptedTransport::read(std::string& into, std::size_t max, Deadline deadline) {
    if (!readFault.isOk()) return readFault;
    for (;;) {
        const Clock::time_point now = Clock::now();
        std::size_t appended = 0;
        while (!arriving_.empty() && arriving_.front().due <= now && appended < max) {
            std::string& text = arriving_.front().text;
            const std::size_t take = std::min(text.size(), max - appended);
            into.append(text, 0, take);
            appended += take;
            text.erase(0, take);
            if (text.empty()) arriving_.pop_front();
        }
        if (appended > 0 || now >= deadline) return LinkStatus::ok();
        std::this_thread::sleep_until(arriving_.empty() ? deadline : std::min(deadline, arriving_.front().due));
    }
}

void ScriptedTransport::discardInput() {
    const Clock::time_point now = Clock::now();
    while (!arriving_.empty() && arriving_.front().due <= now) arriving_.pop_front();
}

std::string ScriptedTransport::commandText() const {
    std::string text;
    for (const std::string& command : commands_) {
        if (!text.empty()) text += ' ';
        text += command;
    }
    return text;
}

}  // namespace vx414::elm327
