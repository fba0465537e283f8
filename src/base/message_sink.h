#pragma once

#include <string>
#include <string_view>

namespace etalon {

// How a report is shown. Every box of the workbench has only an OK button;
// the icon is the one thing that varies.
enum class MessageIcon { None, Warning, Information };

// The value a message box returns when its OK button is pressed.
inline constexpr int kMessageOk = 1;

// The one channel through which the core reports failures and dumps. The
// window shows real message boxes, tests record, the command line prints to
// stderr. An empty caption stands for "no caption".
class MessageSink {
  public:
    virtual ~MessageSink() = default;
    virtual int show(std::string_view text, std::string_view caption, MessageIcon icon) = 0;
    // An allocation failure, shown as any report; a sink that acts on the
    // kind of failure (Python raises MemoryError) overrides it.
    virtual int showOutOfMemory(std::string_view text, std::string_view caption, MessageIcon icon) {
        return show(text, caption, icon);
    }
};

// Swallows everything; for callers that check results themselves.
class SilentSink final : public MessageSink {
  public:
    int show(std::string_view, std::string_view, MessageIcon) override { return kMessageOk; }
};

}  // namespace etalon
