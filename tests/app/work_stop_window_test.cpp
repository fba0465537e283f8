// Long work in the window stopped by Cancel, or by a close request delivered
// the way the window system delivers it, while real restorations of long
// series are in progress.
#include <gtest/gtest.h>
#include <qpa/qwindowsysteminterface.h>

#include <QApplication>
#include <QMainWindow>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>
#include <QWindow>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>

#include "app/main_menu.h"
#include "app/workbench.h"
#include "support/recording_sink.h"
#include "support/state_difference.h"

namespace etalon {
namespace {

using platform::Window;
using Clock = std::chrono::steady_clock;
using RunEvent = RestoringProcedures::RunEvent;

// The workbench's own procedures, counted as their runs start and end.
struct WatchedRuns {
    std::atomic<int> started{0}, finished{0}, stopped{0};
    RestoringProcedures procedures = workbenchRestoringProcedures();
    WatchedRuns() {
        procedures.watch = [this](RestoringProcedure, RunEvent event) {
            (event == RunEvent::Started    ? started
             : event == RunEvent::Finished ? finished
                                           : stopped)++;
        };
    }
    bool oneInProgress() const { return started > finished + stopped; }
};

QMainWindow* mainWidget() {
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (auto* main = qobject_cast<QMainWindow*>(top)) return main;
    }
    return nullptr;
}

QProgressDialog* shownProgressDialog() {
    for (QWidget* top : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<QProgressDialog*>(top);
        if (dialog && dialog->isVisible()) return dialog;
    }
    return nullptr;
}

// As a window manager's close (the title bar's X): through the window
// system's queue, where a window blocked by a modal dialog never hears it.
void closeAsTheWindowSystemDoes() {
    QWindowSystemInterface::handleCloseEvent<QWindowSystemInterface::SynchronousDelivery>(
        mainWidget()->windowHandle());
}

// Presses OK in every modal dialog; once the progress dialog shows and a
// restoration is in progress, `stop` runs once.
class User {
  public:
    User(const WatchedRuns& runs, std::function<void()> stop)
        : runs_(runs), stop_(std::move(stop)) {
        QObject::connect(&timer_, &QTimer::timeout, [this] { act(); });
        timer_.start(10);
    }
    bool acted() const { return actedAt_ != Clock::time_point{}; }
    double secondsSince() const {
        return std::chrono::duration<double>(Clock::now() - actedAt_).count();
    }

  private:
    void act() {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            for (QPushButton* button : modal->findChildren<QPushButton*>()) {
                if (button->isDefault()) button->click();
            }
            return;
        }
        if (acted() || !shownProgressDialog() || !runs_.oneInProgress()) return;
        // The same runs in progress for a while: a long one, which the stop
        // reaches mid-run, not one about to finish anyway.
        const int ended = runs_.finished + runs_.stopped;
        if (runs_.started != seenStarted_ || ended != seenEnded_) {
            seenStarted_ = runs_.started;
            seenEnded_ = ended;
            steadySince_ = Clock::now();
            return;
        }
        if (Clock::now() - steadySince_ < std::chrono::milliseconds(30)) return;
        actedAt_ = Clock::now();
        stop_();
    }

    const WatchedRuns& runs_;
    std::function<void()> stop_;
    QTimer timer_;
    Clock::time_point actedAt_{};
    int seenStarted_ = -1, seenEnded_ = -1;
    Clock::time_point steadySince_{};
};

void pressCancel() {
    for (QPushButton* button : shownProgressDialog()->findChildren<QPushButton*>()) {
        if (button->text() == "Cancel") button->click();
    }
}

struct LongSeriesWorkbench {
    WatchedRuns runs;
    test::RecordingSink sink;
    Workbench workbench{sink, platform::loadBitmapResource, runs.procedures};
    std::unique_ptr<Window> window = Window::create(workbench, kWindowTitle, mainMenu());

    // Series of 32,767 samples at Tmin 1: seconds of work each for the known
    // count's recognition (the unknown count takes milliseconds there).
    explicit LongSeriesWorkbench(SeriesCode type) {
        // A window closed earlier in this process asked the loop to end: the
        // next loop would end at once, so one is run to take that request.
        QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
        QCoreApplication::exec();
        window->resizeClient(1024, 700);
        window->showMaximized();
        AppState& s = workbench.state();
        s.dwSeriesLength = s.dwNewSeriesLength = 32767;
        s.wTmin = 1;
        s.wSeriesType = type;
        s.wRepeats = 4;
        // A few pulse counts: the run plans its memory for each before it starts.
        s.wPulsesIncrement = 4096;
    }
};

TEST(WorkStops, CancelStopsTheSimulationsRestorationsInProgressAndKeepsTheState) {
    LongSeriesWorkbench open(SeriesCode::FixedWhole);
    // The first run applies the dialogs' values; the second must change nothing more.
    AppState before;
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        const int stoppedBefore = open.runs.stopped;
        User user(open.runs, pressCancel);
        open.window->chooseMenuItem(kCmdStatSimulation);
        ASSERT_TRUE(user.acted());
        std::printf("the simulation returned %.3f s after Cancel\n", user.secondsSince());
        EXPECT_GT(open.runs.stopped, stoppedBefore);
        EXPECT_FALSE(open.runs.oneInProgress());
        if (run == 1) {
            EXPECT_EQ(test::stateDifference(before, open.workbench.state()), "");
        }
        before = open.workbench.state();
    }
    EXPECT_EQ(open.workbench.state().lpRestErrorHeader, nullptr);
    EXPECT_FALSE(open.window->isDestroyed());
}

// The close of a window behind a running simulation or restoration cancels
// the work, stops the restoration in progress and ends the loop.
TEST(WorkStops, TheWindowSystemsCloseStopsARunningSimulationOrRestoration) {
    for (const uint16_t command : {kCmdStatSimulation, kCmdNextData}) {
        SCOPED_TRACE(command);
        LongSeriesWorkbench open(SeriesCode::FixedWhole);
        User user(open.runs, closeAsTheWindowSystemDoes);
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, [] {
            ADD_FAILURE() << "the loop did not end after the close";
            QCoreApplication::exit(1);
        });
        watchdog.start(600000);  // slow sanitizer builds too
        QTimer::singleShot(0, [&] { open.window->chooseMenuItem(command); });
        EXPECT_EQ(platform::runMessageLoop(), 0);
        ASSERT_TRUE(user.acted());
        std::printf("the loop ended %.3f s after the close\n", user.secondsSince());
        EXPECT_GE(open.runs.stopped, 1);
        EXPECT_FALSE(open.runs.oneInProgress());
        EXPECT_TRUE(open.window->isDestroyed());
        EXPECT_EQ(open.workbench.destroyCount(), 1);
    }
}

// A single restoration: Cancel on its busy dialog stops the procedure itself
// and leaves the whole state as before the command.
TEST(WorkStops, CancelStopsARestorationInProgressAndKeepsTheState) {
    LongSeriesWorkbench open(SeriesCode::FixedWhole);
    const AppState before = open.workbench.state();
    User user(open.runs, pressCancel);
    open.window->chooseMenuItem(kCmdNextData);
    ASSERT_TRUE(user.acted());
    std::printf("the restoration returned %.3f s after Cancel\n", user.secondsSince());
    EXPECT_EQ(open.runs.stopped, 1);
    EXPECT_EQ(open.runs.finished, 0);
    EXPECT_EQ(test::stateDifference(before, open.workbench.state()), "");
    EXPECT_FALSE(open.window->isDestroyed());
    EXPECT_TRUE(open.sink.empty()) << open.sink.last().text;
}

}  // namespace
}  // namespace etalon
