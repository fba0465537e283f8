// The File menu's recordings and etalons in the real window, offscreen, with
// real files and the real dialogs answered as a user answers them.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <deque>
#include <fstream>
#include <functional>

#include "export/export_support.h"
#include "io/alphabet_file.h"
#include "panels/panel_drawing.h"
#include "platform/svg_recorder.h"
#include "support/open_window.h"

namespace etalon {
namespace {

// Answers the modal dialogs in turn, each once its title shows.
class DialogUser {
  public:
    using Answer = std::function<void(QDialog&)>;
    void then(QString title, Answer answer) { steps_.push_back({std::move(title), answer}); }
    // Runs the menu command with the answers ready; true when all were given.
    bool run(platform::Window& window, uint16_t command) {
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, [this] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dialog || steps_.empty() || dialog->windowTitle() != steps_.front().first) return;
            const Answer answer = steps_.front().second;
            steps_.pop_front();
            answer(*dialog);
        });
        timer.start(10);
        window.chooseMenuItem(command);
        return steps_.empty();
    }

  private:
    std::deque<std::pair<QString, Answer>> steps_;
};

DialogUser::Answer chooseFile(const std::filesystem::path& path) {
    return [path](QDialog& dialog) {
        auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        name->setText(QString::fromStdString(path.string()));
        QMetaObject::invokeMethod(&dialog, "accept");
    };
}

// Types into the dialog's edits in their order, then presses OK.
DialogUser::Answer typeAndOk(std::vector<QString> texts) {
    return [texts](QDialog& dialog) {
        const auto edits = dialog.findChildren<QLineEdit*>();
        ASSERT_GE(edits.size(), static_cast<qsizetype>(texts.size()));
        for (std::size_t i = 0; i < texts.size(); ++i)
            edits[static_cast<qsizetype>(i)]->setText(texts[i]);
        for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
            if (button->text() == "OK") return button->click();
        }
        ADD_FAILURE() << "no OK button";
    };
}

TEST(FileWindow, ARecordingOpenedProcessedCutAndExported) {
    test::ScratchFolder folder;
    test::OpenWindow w;
    // The start-up series, noise-free, written as a one-column recording.
    const SeriesHeader made = *w.state().lpSeriesHeader;
    {
        std::ofstream csv(folder / "made.csv");
        csv << "value\n";
        for (int16_t v : made.noisyData())
            csv << v << "\n";
    }

    DialogUser user;
    user.then("Open series", chooseFile(folder / "made.csv"));
    user.then("Reading the recording", typeAndOk({"value"}));
    user.then("Processing the series",
              typeAndOk({QString::number(made.wImpulseQuantity), "40", "181", "100"}));
    ASSERT_TRUE(user.run(*w.window, kCmdOpenSeries));
    w.window->paint();
    const AppState& s = w.state();
    ASSERT_TRUE(w.sink.empty()) << w.sink.last().text;
    ASSERT_EQ(s.bSeriesWithoutTruth, 1);
    EXPECT_EQ(s.nDisplayMode, DisplayMode::Results);
    // Without noise the known count restores the pulses the series was made of.
    const SeriesHeader& opened = *s.lpSeriesHeader;
    ASSERT_EQ(opened.wRestoredQuantity, made.wImpulseQuantity);
    for (int k = 0; k < made.wImpulseQuantity; ++k)
        EXPECT_EQ(opened.lpRestoredPositions[k], made.lpPositions[k]) << k;

    DialogUser cut;
    cut.then("Etalon from series",
             typeAndOk({QString::number(made.lpPositions[0]), QStringLiteral("4")}));
    ASSERT_TRUE(cut.run(*w.window, kCmdEtalonFromSeries));
    EXPECT_TRUE(std::ranges::equal(s.alphabet[3].samples(),
                                   made.noisyData().subspan(made.lpPositions[0], 20)));

    DialogUser out;
    out.then("Results File Name", chooseFile(folder / "found.csv"));
    ASSERT_TRUE(out.run(*w.window, kCmdExportResults));
    out.then("Etalons File Name", chooseFile(folder / "etalons.csv"));
    ASSERT_TRUE(out.run(*w.window, kCmdSaveEtalons));
    std::vector<PulseHeader> saved;
    ASSERT_EQ(
        io::readAlphabetFile((folder / "etalons.csv").string(), io::AlphabetFormat::Csv, saved),
        "");
    EXPECT_EQ(saved[3].lpData,
              std::vector<int16_t>(s.alphabet[3].samples().begin(), s.alphabet[3].samples().end()));
    EXPECT_TRUE(std::filesystem::exists(folder / "found.csv"));
    EXPECT_TRUE(w.sink.empty());
}

// The parameter panel's diagram is drawn for a pulse count; without one the
// panel says why it stays empty.
TEST(FileWindow, ParameterPanelSaysWhyAnUnknownCountHasNoDiagram) {
    platform::Surface surface(860, 680);
    platform::SvgRecorder drawn(860, 680);
    platform::DeviceContext dc(surface, drawn);
    ParamsHeader header{.dwSeriesSize = 1200, .Tmin = 40, .Tmax = 181, .wImpulseSize = 20};
    ParamsPanelPlaces places;
    DrawParamsPanel(dc, &header, {10, 10, 859, 679}, places);
    EXPECT_NE(drawn.finish().find("pulse count of this series is unknown"), std::string::npos);
    EXPECT_TRUE(places.laidOut);  // its buttons still lead back
}

}  // namespace
}  // namespace etalon
