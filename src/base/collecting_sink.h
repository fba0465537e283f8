#pragma once

#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "base/message_sink.h"

namespace etalon {

// Collects the reports of work done on several threads, each tagged with the
// index of the work item that raised it (a series number, say), so that they
// can be shown afterwards on one thread, in index order.
class CollectingSink {
  public:
    struct Message {
        std::size_t item = 0;
        std::string text;
        std::string caption;
        MessageIcon icon = MessageIcon::None;
        bool outOfMemory = false;
    };

    // What one work item reports into; safe to use from any thread.
    class ItemSink final : public MessageSink {
      public:
        ItemSink(CollectingSink& owner, std::size_t item) : owner_(owner), item_(item) {}
        int show(std::string_view text, std::string_view caption, MessageIcon icon) override;
        int showOutOfMemory(std::string_view text, std::string_view caption,
                            MessageIcon icon) override;

      private:
        CollectingSink& owner_;
        std::size_t item_;
    };

    ItemSink forItem(std::size_t item) { return ItemSink(*this, item); }

    // Every message once, by item and, within an item, in the order raised.
    std::vector<Message> messages() const;
    std::size_t count() const;
    // The message of the lowest item, if there is one.
    std::optional<Message> first() const;
    // Whether the item reported anything (for a step, a report means failure).
    bool reported(std::size_t item) const;

  private:
    void add(Message message);

    mutable std::mutex mutex_;
    std::vector<Message> messages_;
};

}  // namespace etalon
