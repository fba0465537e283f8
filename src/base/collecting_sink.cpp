#include "base/collecting_sink.h"

#include <algorithm>

namespace etalon {

int CollectingSink::ItemSink::show(std::string_view text, std::string_view caption,
                                   MessageIcon icon) {
    owner_.add({item_, std::string(text), std::string(caption), icon});
    return kMessageOk;
}

int CollectingSink::ItemSink::showOutOfMemory(std::string_view text, std::string_view caption,
                                              MessageIcon icon) {
    owner_.add({item_, std::string(text), std::string(caption), icon, true});
    return kMessageOk;
}

void CollectingSink::add(Message message) {
    const std::lock_guard lock(mutex_);
    messages_.push_back(std::move(message));
}

std::vector<CollectingSink::Message> CollectingSink::messages() const {
    std::vector<Message> sorted;
    {
        const std::lock_guard lock(mutex_);
        sorted = messages_;
    }
    // One item runs on one thread, so its messages arrive in order: a stable sort keeps it.
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const Message& a, const Message& b) { return a.item < b.item; });
    return sorted;
}

std::size_t CollectingSink::count() const {
    const std::lock_guard lock(mutex_);
    return messages_.size();
}

std::optional<CollectingSink::Message> CollectingSink::first() const {
    const std::lock_guard lock(mutex_);
    const auto lowest =
        std::min_element(messages_.begin(), messages_.end(),
                         [](const Message& a, const Message& b) { return a.item < b.item; });
    if (lowest == messages_.end()) return std::nullopt;
    return *lowest;
}

bool CollectingSink::reported(std::size_t item) const {
    const std::lock_guard lock(mutex_);
    return std::any_of(messages_.begin(), messages_.end(),
                       [item](const Message& m) { return m.item == item; });
}

}  // namespace etalon
