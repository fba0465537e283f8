#pragma once

#include <string>
#include <vector>

#include "base/message_sink.h"

namespace etalon::test {

// Keeps every report instead of showing it.
class RecordingSink final : public etalon::MessageSink {
  public:
    struct Message {
        std::string text;
        std::string caption;
        etalon::MessageIcon icon;
    };

    int show(std::string_view text, std::string_view caption, etalon::MessageIcon icon) override;

    std::vector<Message> messages;
    bool empty() const { return messages.empty(); }
    const Message& last() const { return messages.back(); }
};

}  // namespace etalon::test
