#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/command_host.h"
#include "support/fake_dialog_context.h"

namespace etalon::test {

// The main window as the commands see it, recording what they ask of it.
// Commands sent are handed to `dispatch` (the handler under test), nested.
class FakeHost final : public CommandHost {
  public:
    struct Invalidation {
        std::optional<platform::Rect> rect;  // none: the whole client area
        bool erase = false;
        bool operator==(const Invalidation&) const = default;
    };
    // What the user does in a dialog once it has started: type into the
    // context, then press a button through the procedure.
    using DialogScript = std::function<void(FakeDialogContext&, const platform::DialogProcedure&)>;

    void checkMenuItem(uint16_t id, bool checked) override { checks[id] = checked; }
    void enableMenuItem(uint16_t id, bool enabled) override { enabledItems[id] = enabled; }
    void invalidate(const platform::Rect* rect, bool erase) override {
        invalidations.push_back({rect ? std::optional(*rect) : std::nullopt, erase});
    }
    void sendCommand(uint16_t id) override {
        sent.push_back(id);
        if (dispatch) dispatch(id);
    }
    void close() override { ++closed; }
    int runDialog(int dialogId, const platform::DialogTemplate& dialog,
                  const platform::DialogProcedure& procedure) override {
        dialogs.push_back(dialogId);
        captions.push_back(dialog.caption);
        FakeDialogContext context;
        context.start(procedure);
        const auto it = scripts.find(dialogId);
        if (it != scripts.end()) {
            it->second(context, procedure);
        } else if (defaultScript) {
            defaultScript(context, procedure);
        } else {
            context.press(procedure, platform::kIdOk);
        }
        shown[dialogId] = context;
        return context.ended ? context.result : platform::kIdCancel;
    }

    // Runs the work at once on this thread; with cancelAt set, Cancel is
    // pressed once that many items are reported done.
    bool runWithProgress(const std::string& caption, uint32_t total,
                         const std::function<void(platform::ProgressChannel&)>& work) override {
        progressCaptions.push_back(caption);
        progressTotals.push_back(total);
        struct Channel final : platform::ProgressChannel {
            std::optional<uint32_t> cancelAt;
            uint32_t last = 0;
            void report(uint32_t done) override {
                last = done;
                if (cancelAt && done >= *cancelAt) cancel();
            }
        } channel;
        channel.cancelAt = cancelAt;
        if (cancelAt && *cancelAt == 0) channel.cancel();
        work(channel);
        progressDone.push_back(channel.last);
        return !channel.cancelled();
    }

    std::string editText(uint16_t id) const override {
        const auto it = edits.find(id);
        return it == edits.end() ? std::string() : it->second;
    }
    void setEditText(uint16_t id, const std::string& text) override { edits[id] = text; }
    void moveEditControl(uint16_t id, int32_t x, int32_t y, int32_t width, int32_t height,
                         bool) override {
        editPlaces[id] = {x, y, x + width, y + height};
    }
    void setCapture() override { captured = true; }
    void releaseCapture() override { captured = false; }
    platform::CursorShape setCursor(platform::CursorShape shape) override {
        const platform::CursorShape before = cursor;
        cursor = shape;
        return before;
    }
    CapturedImage captureClientArea() override {
        ++captures;
        return clientArea;
    }
    std::optional<SaveChoice> askSaveFile(const std::string& title,
                                          const std::vector<std::string>& filters) override {
        std::string asked = title;
        for (const auto& f : filters)
            asked += " | " + f;
        saveCaptions.push_back(asked);
        return saveChoice;
    }
    std::optional<std::string> askOpenFile(const std::string& title,
                                           const std::vector<std::string>& filters) override {
        std::string asked = title;
        for (const auto& f : filters)
            asked += " | " + f;
        openCaptions.push_back(asked);
        return openChoice;
    }
    bool askYesNo(const std::string& text, const std::string&) override {
        questions.push_back(text);
        return answerYes;
    }
    // No image writer without Qt: a stand-in whose bytes name the picture.
    std::optional<std::vector<uint8_t>> encodePng(const CapturedImage& image) override {
        const std::string text =
            "PNG " + std::to_string(image.width) + "x" + std::to_string(image.height);
        return std::vector<uint8_t>(text.begin(), text.end());
    }
    std::string drawAsSvg() override { return "<svg/>"; }

    bool erasedWhole() const {
        for (const auto& i : invalidations) {
            if (!i.rect && i.erase) return true;
        }
        return false;
    }
    bool invalidated(const platform::Rect& rect, bool erase) const {
        for (const auto& i : invalidations) {
            if (i.rect == rect && i.erase == erase) return true;
        }
        return false;
    }
    void clear() {
        sent.clear();
        invalidations.clear();
        dialogs.clear();
    }

    std::function<void(uint16_t)> dispatch;
    std::map<uint16_t, bool> checks;
    std::map<uint16_t, bool> enabledItems;  // items never greyed are absent
    std::vector<Invalidation> invalidations;
    std::vector<uint16_t> sent;
    std::vector<int> dialogs;
    std::vector<std::string> captions;
    std::map<int, DialogScript> scripts;
    DialogScript defaultScript;              // for dialogs without a script of their own; else OK
    std::map<int, FakeDialogContext> shown;  // each dialog as it was left
    int closed = 0;
    std::optional<uint32_t> cancelAt;
    std::vector<std::string> progressCaptions;
    std::vector<uint32_t> progressTotals;
    std::vector<uint32_t> progressDone;
    std::vector<std::string> saveCaptions;
    std::map<uint16_t, std::string> edits;
    std::map<uint16_t, platform::Rect> editPlaces;
    bool captured = false;
    platform::CursorShape cursor = platform::CursorShape::Arrow;
    CapturedImage clientArea;
    int captures = 0;
    std::optional<SaveChoice> saveChoice;
    std::vector<std::string> openCaptions;
    std::optional<std::string> openChoice;  // what the Open dialog returns
    std::vector<std::string> questions;
    bool answerYes = true;
};

// Types the given texts and presses the button.
inline FakeHost::DialogScript typeAndPress(std::map<int, std::string> typed, int button) {
    return [typed = std::move(typed), button](FakeDialogContext& context,
                                              const platform::DialogProcedure& procedure) {
        for (const auto& [id, text] : typed)
            context.setText(id, text);
        context.press(procedure, button);
    };
}

}  // namespace etalon::test
