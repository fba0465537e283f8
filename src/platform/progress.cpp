#include "platform/progress.h"

#include "platform/message_box.h"
#include "platform/window.h"

#include <QApplication>
#include <QEventLoop>
#include <QProgressDialog>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <limits>
#include <string>
#include <thread>

namespace etalon::platform {

namespace {

// Work this short shows no dialog when its amount is unknown.
constexpr auto kBusyDialogDelay = std::chrono::milliseconds(500);

class AtomicChannel final : public ProgressChannel {
  public:
    void report(uint32_t done) override { done_.store(done, std::memory_order_relaxed); }
    uint32_t done() const { return done_.load(std::memory_order_relaxed); }

  private:
    std::atomic<uint32_t> done_{0};
};

QString progressText(uint32_t done, uint32_t total, double elapsed) {
    if (total == 0)
        return QString("elapsed %1")
            .arg(QString::fromStdString(hoursMinutesSeconds(int64_t(elapsed))));
    QString text = QString("%1 of %2 series\nelapsed %3")
                       .arg(done)
                       .arg(total)
                       .arg(QString::fromStdString(hoursMinutesSeconds(int64_t(elapsed))));
    if (done > 0 && done < total) {
        const double left = elapsed * (total - done) / done;
        text += QString(", about %1 left")
                    .arg(QString::fromStdString(hoursMinutesSeconds(int64_t(left + 0.5))));
    }
    return text;
}

}  // namespace

std::string hoursMinutesSeconds(int64_t seconds) {
    if (seconds < 0) seconds = 0;
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
    return text;
}

bool runWithProgress(Window* owner, std::string_view caption, uint32_t total,
                     const std::function<void(ProgressChannel&)>& work) {
    if (owner && owner->isClosing()) return false;
    AtomicChannel channel;
    std::atomic<bool> finished{false};
    const auto start = std::chrono::steady_clock::now();

    // Over a window the dialog is not modal: the window blocks its own input
    // instead, so that the window system's close request still reaches it.
    QProgressDialog dialog(owner ? owner->dialogParent() : nullptr);
    dialog.setWindowTitle(QString::fromUtf8(caption.data(), int(caption.size())));
    dialog.setWindowModality(owner ? Qt::NonModal : Qt::ApplicationModal);
    dialog.setRange(0, int(std::min<uint32_t>(total, INT32_MAX)));
    // Shown by hand below: unknown work only after the delay.
    dialog.setMinimumDuration(std::numeric_limits<int>::max());
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    dialog.setCancelButtonText("Cancel");
    dialog.setLabelText(progressText(0, total, 0));
    QObject::connect(&dialog, &QProgressDialog::canceled, [&] { channel.cancel(); });

    // Closing the window cancels the work; the close itself waits for it.
    if (owner) {
        owner->setRunningWorkCancel([&] { channel.cancel(); });
        owner->blockInput(true);
    }
    // Nothing the work throws may end the process: it ends the work, which
    // then keeps nothing, as after Cancel.
    std::string failure;
    std::thread worker([&] {
        try {
            work(channel);
        } catch (const std::exception& e) {
            failure = e.what();
        } catch (...) {
            failure = "an unknown error";
        }
        finished.store(true);
    });
    // Unknown work first waits without a dialog, then shows one; once
    // cancelled it shows "Cancelling..." until the work has returned. Only
    // the middle phase takes input: the others have no modal dialog or a
    // Cancel already pressed to keep input away from the window.
    bool waiting = total == 0;
    bool cancelling = false;
    QEventLoop loop;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        const auto now = std::chrono::steady_clock::now();
        if (finished.load() || (waiting && now - start >= kBusyDialogDelay) ||
            (channel.cancelled() && !cancelling)) {
            loop.quit();
            return;
        }
        if (channel.cancelled()) return;
        const double elapsed = std::chrono::duration<double>(now - start).count();
        if (total > 0) dialog.setValue(int(std::min<uint32_t>(channel.done(), INT32_MAX)));
        dialog.setLabelText(progressText(channel.done(), total, elapsed));
    });
    timer.start(50);
    if (waiting) loop.exec(QEventLoop::ExcludeUserInputEvents);
    waiting = false;
    if (!finished.load() && !channel.cancelled()) {
        dialog.show();
        loop.exec();
    }
    if (!finished.load()) {
        // Cancel hid the dialog; it shows again until the work has stopped.
        // A loop ended from outside (the application quitting) stops it too.
        channel.cancel();
        cancelling = true;
        dialog.setLabelText("Cancelling...");
        dialog.show();
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    worker.join();
    if (owner) {
        owner->setRunningWorkCancel({});
        owner->blockInput(false);
    }
    dialog.hide();
    if (!failure.empty()) {
        if (!owner || !owner->isClosing())
            messageBox(owner, "The work stopped: " + failure, caption, BoxIcon::Warning);
        return false;
    }
    return !channel.cancelled();
}

}  // namespace etalon::platform
