#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/dialog.h"

namespace etalon::test {

// A dialog without a window: controls are texts and check states by id.
class FakeDialogContext final : public platform::DialogContext {
  public:
    std::string text(int id) const override {
        const auto it = texts.find(id);
        return it == texts.end() ? std::string() : it->second;
    }
    void setText(int id, std::string_view text) override { texts[id] = std::string(text); }
    bool isChecked(int id) const override {
        const auto it = checks.find(id);
        return it != checks.end() && it->second;
    }
    void setChecked(int id, bool checked) override { checks[id] = checked; }
    void showMessage(std::string_view text, std::string_view caption) override {
        messages.push_back(std::string(text));
        captions.push_back(std::string(caption));
    }
    void end(int value) override {
        ended = true;
        result = value;
    }

    // Starts the procedure, as the dialog does once its controls exist.
    void start(const platform::DialogProcedure& procedure) {
        procedure(*this, platform::DialogEvent::Init, 0);
    }
    bool press(const platform::DialogProcedure& procedure, int id) {
        return procedure(*this, platform::DialogEvent::Command, id);
    }

    std::map<int, std::string> texts;
    std::map<int, bool> checks;
    std::vector<std::string> messages;
    std::vector<std::string> captions;
    bool ended = false;
    int result = 0;
};

}  // namespace etalon::test
