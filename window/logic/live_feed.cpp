#include "window/logic/live_feed.h"

namespace vx414 {

void LiveFeed::setChoice(LiveChoice choice) {
    const std::lock_guard lock(mutex_);
    choice_ = std::move(choice);
}

LiveFeed::News LiveFeed::take() {
    const std::lock_guard lock(mutex_);
    News news = std::move(news_);
    news_ = {};
    return news;
}

void LiveFeed::supported(const std::vector<std::uint8_t>& pids) {
    const std::lock_guard lock(mutex_);
    news_.supported = pids;
}

LiveChoice LiveFeed::choice() {
    const std::lock_guard lock(mutex_);
    return choice_;
}

void LiveFeed::sample(const obd::LiveSample& sample) {
    const std::lock_guard lock(mutex_);
    if (news_.samples.size() >= MostHeld) news_.samples.erase(news_.samples.begin());
    news_.samples.push_back(sample);
}

void LiveFeed::ended(const LinkStatus& status) {
    const std::lock_guard lock(mutex_);
    news_.ended = status;
}

}  // namespace vx414
