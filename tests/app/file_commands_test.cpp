// The file commands through the stand-in host: recordings, alphabets, the
// cut etalon, the saved series and the exported results.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/main_menu.h"
#include "dialogs/file_dialogs.h"
#include "dialogs/simulation_dialogs.h"
#include "export/export_support.h"
#include "io/alphabet_file.h"
#include "io/io_support.h"  // tests/io
#include "io/results_csv.h"
#include "io/series_file.h"
#include "support/command_rig.h"
#include "support/state_difference.h"

namespace etalon {
namespace {

using platform::kIdCancel;
using platform::kIdOk;
using test::CommandRig;
using test::stateDifference;
using test::typeAndPress;

void writeText(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path) << text;
}

// A recording of 300 samples: two bumps of etalon-like height on a small ripple.
std::vector<int16_t> recordingSamples() {
    std::vector<int16_t> samples(300);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>((i % 7) - 3 + (i >= 60 && i < 80 ? 90 : 0));
    return samples;
}

std::string csvOf(const std::vector<int16_t>& samples) {
    std::string text = "# a recording\n";
    for (int16_t v : samples)
        text += std::to_string(v) + "\n";
    return text;
}

// Opens `path` as a series, typing the values read (none: the defaults), then
// the count, Tmin, Tmax and level.
void openSeries(CommandRig& rig, const std::filesystem::path& path, const std::string& pulses,
                const std::string& level = "100", std::map<int, std::string> reading = {}) {
    rig.host.openChoice = path.string();
    rig.host.scripts[kDialogReadRecording] = typeAndPress(std::move(reading), kIdOk);
    rig.host.scripts[kDialogOpenSeries] = typeAndPress({{kEditRecordingPulses, pulses},
                                                        {kEditRecordingTmin, "40"},
                                                        {kEditRecordingTmax, "120"},
                                                        {kEditRecordingLevel, level}},
                                                       kIdOk);
    rig.command(kCmdOpenSeries);
}

TEST(FileCommands, OpenSeriesProcessesARecordingWithoutTruthAndAsksBeforeReplacingIt) {
    test::ScratchFolder folder;
    const auto samples = recordingSamples();
    writeText(folder / "rec.csv", csvOf(samples));
    CommandRig rig;
    openSeries(rig, folder / "rec.csv", "");
    ASSERT_TRUE(rig.sink.empty()) << rig.sink.last().text;
    const AppState& s = rig.state;
    EXPECT_EQ(s.bSeriesWithoutTruth, 1);
    EXPECT_EQ(s.recordingName, "rec.csv");
    EXPECT_EQ(s.wSeriesType, SeriesCode::UnfixedWhole);
    EXPECT_EQ(s.nDisplayMode, DisplayMode::Results);
    ASSERT_EQ(s.lpSeriesHeader->dwSeriesSize, 300u);
    EXPECT_TRUE(std::ranges::equal(s.lpSeriesHeader->noisyData(), samples));
    EXPECT_EQ(s.lpSeriesHeader->wTmin, 40);
    ASSERT_FALSE(rig.calls.empty());
    EXPECT_EQ(rig.calls.back().procedure, "recognizeUnknownNumberChain");
    EXPECT_EQ(rig.calls.back().tmax, 120);

    // Every way of making a new series asks first; No keeps everything.
    rig.host.answerYes = false;
    const AppState kept = rig.state;
    rig.command(kCmdNextData);
    rig.command(kCmdCreateSeries);
    rig.command(kCmdStatSimulation);
    rig.pressIn(rig.layout.rcStartButton1);
    rig.pressIn(rig.layout.rcLengthItems[0]);
    EXPECT_EQ(stateDifference(kept, rig.state), "");
    EXPECT_EQ(rig.host.questions.size(), 5u);
    // Processing the recording again replaces nothing and asks nothing.
    rig.command(kCmdSameData);
    EXPECT_EQ(rig.host.questions.size(), 5u);
    EXPECT_EQ(rig.state.bSeriesWithoutTruth, 1);

    rig.host.answerYes = true;
    rig.command(kCmdNextData);
    EXPECT_EQ(rig.state.bSeriesWithoutTruth, 0);
    EXPECT_EQ(rig.state.lpSeriesHeader->dwSeriesSize, rig.state.dwNewSeriesLength);
    // A recording too long for one series opens whole; the series holds its start.
    writeText(folder / "long.csv", csvOf(std::vector<int16_t>(40000, 7)));
    openSeries(rig, folder / "long.csv", "");
    ASSERT_TRUE(rig.state.longRecording);
    EXPECT_EQ(rig.state.longRecording->size(), 40000u);
    EXPECT_EQ(rig.state.lpSeriesHeader->dwSeriesSize, 32767u);

    // A known count below full energy: a cut-off type with each pulse's range set.
    openSeries(rig, folder / "rec.csv", "3", "80");
    const SeriesHeader& known = *rig.state.lpSeriesHeader;
    EXPECT_EQ(rig.state.wSeriesType, SeriesCode::FixedCutoff);
    EXPECT_EQ(rig.state.wProcessingLevel, 80);
    EXPECT_EQ(known.wImpulseQuantity, 3);
    EXPECT_EQ(rig.calls.back().procedure, "recognizeKnownNumberChain");
    for (int k = 0; k < 3; ++k)
        EXPECT_LE(known.lpMinPositions[k], known.lpMaxPositions[k]) << k;
    // Saved, the recording reads back as a series file.
    rig.host.saveChoice = SaveChoice{(folder / "saved.json").string(), 0};
    rig.command(kCmdSaveSeries);
    io::SeriesFile file;
    EXPECT_EQ(io::readSeriesFile((folder / "saved.json").string(), 20, 20, file), "");
    EXPECT_EQ(file.wImpulseQuantity, 3);
    EXPECT_EQ(file.lpPositions, std::vector<int16_t>(3, -1));  // no truth, and none made up
}

// The reading dialog picks a table's column by name and a span; the results
// keep the recording's own sample index. Bad values keep the dialog open with
// io's message, and Cancel then leaves the whole state as it was.
TEST(FileCommands, ReadingChoosesColumnAndSpanAndRefusesWhatTheFileLacks) {
    test::ScratchFolder folder;
    const auto samples = recordingSamples();
    std::string table = "# bench\ntime_s,volts\n";
    for (std::size_t i = 0; i < samples.size(); ++i)
        table += std::to_string(i * 0.0005) + "," + std::to_string(samples[i]) + "\n";
    writeText(folder / "table.csv", table);
    CommandRig rig;
    rig.procedures = workbenchRestoringProcedures();
    const AppState before = rig.state;
    const auto refused = [&](std::map<int, std::string> typed, const std::string& named) {
        SCOPED_TRACE(named);
        rig.host.scripts[kDialogReadRecording] = [typed](test::FakeDialogContext& c,
                                                         const platform::DialogProcedure& p) {
            for (const auto& [id, text] : typed)
                c.setText(id, text);
            c.press(p, kIdOk);
            EXPECT_FALSE(c.ended);
            c.press(p, kIdCancel);
        };
        rig.host.openChoice = (folder / "table.csv").string();
        rig.command(kCmdOpenSeries);
        const auto& messages = rig.host.shown[kDialogReadRecording].messages;
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_NE(messages[0].find(named), std::string::npos) << messages[0];
        EXPECT_EQ(stateDifference(before, rig.state), "");
    };
    refused({{kEditRecordingColumn, "amps"}}, "\"amps\"");
    refused({{kEditRecordingFirst, "300"}}, "starts at sample 300");
    refused({{kEditRecordingCount, "0"}}, "Number of Samples");
    refused({{kEditRecordingCount, "32768"}}, "asks for 32768 samples");
    EXPECT_TRUE(rig.sink.empty());

    openSeries(rig, folder / "table.csv", "", "100",
               {{kEditRecordingColumn, "volts"}, {kEditRecordingFirst, "10"}});
    ASSERT_TRUE(rig.sink.empty()) << rig.sink.last().text;
    EXPECT_TRUE(
        std::ranges::equal(rig.state.lpSeriesHeader->noisyData(), std::span(samples).subspan(10)));
    const ChainsHeader& chains = *rig.state.lpChainsHeader;
    ASSERT_GT(chains.wPretenders, 0);
    rig.host.saveChoice = SaveChoice{(folder / "found.csv").string(), 0};
    rig.command(kCmdExportResults);
    std::ifstream in(folder / "found.csv");
    std::string header, row;
    std::getline(in, header);
    std::getline(in, row);  // chain 1, pulse 1: chain,pulse,position,...
    EXPECT_EQ(row.substr(0, row.find(',', 4)),
              "1,1," + std::to_string(chains.positionsList(0)[0] + 10));

    // From the first sample typed to the end: the whole rest, in the file's index.
    writeText(folder / "long.csv", csvOf(std::vector<int16_t>(40000, 7)));
    openSeries(rig, folder / "long.csv", "", "100", {{kEditRecordingFirst, "5000"}});
    EXPECT_TRUE(rig.host.questions.empty());
    ASSERT_TRUE(rig.state.longRecording);
    EXPECT_EQ(rig.state.longRecording->size(), 35000u);
    EXPECT_EQ(rig.state.dwRecordingFirst, 5000u);
}

// Agreed to, a simulation runs on the recording's record and replaces it.
TEST(FileCommands, ASimulationReplacesARecordingOnceAgreed) {
    test::ScratchFolder folder;
    writeText(folder / "rec.csv", csvOf(recordingSamples()));
    CommandRig rig;
    rig.procedures = workbenchRestoringProcedures();
    rig.host.scripts[kDialogLocationParameters] = typeAndPress(
        {{kEditPulsesFrom, "6"}, {kEditPulsesTo, "7"}, {kEditNoiseSteps, "2"}, {kEditRepeats, "2"}},
        kIdOk);
    openSeries(rig, folder / "rec.csv", "");
    rig.command(kCmdStatSimulation);
    EXPECT_EQ(rig.host.questions.size(), 1u);
    ASSERT_TRUE(rig.state.lpRestErrorHeader && rig.state.lpRestErrorHeader->ifComplete);
    EXPECT_EQ(rig.state.bSeriesWithoutTruth, 0);
}

TEST(FileCommands, RefusedFilesAndValuesChangeNothing) {
    test::ScratchFolder folder;
    writeText(folder / "word.csv", "12\n14\nabc\n");
    writeText(folder / "ragged.csv", "1,2,3\n4,5\n");
    writeText(folder / "rec.dat", "1\n2\n");
    writeText(folder / "rec.csv", csvOf(recordingSamples()));
    CommandRig rig;
    const AppState before = rig.state;
    // A file refused while its values are read is named over the reading dialog.
    const auto expectNothingChanged = [&](const std::string& what, const std::string& named) {
        SCOPED_TRACE(what);
        EXPECT_EQ(stateDifference(before, rig.state), "");
        if (!named.empty()) {
            auto& shown = rig.host.shown[kDialogReadRecording].messages;
            ASSERT_FALSE(rig.sink.empty() && shown.empty());
            const std::string text = rig.sink.empty() ? shown.back() : rig.sink.last().text;
            EXPECT_NE(text.find(named), std::string::npos) << text;
            rig.sink.messages.clear();
            shown.clear();
        }
    };
    openSeries(rig, folder / "word.csv", "");
    expectNothingChanged("a value that is not a number", "word.csv");
    const std::string nanWav = test::writeWav("nan.wav", SF_FORMAT_FLOAT, 1, 100, {1, NAN, 2});
    openSeries(rig, nanWav, "");
    expectNothingChanged("a float sample that is not a number", "sample 1 is nan");
    openSeries(rig, folder / "gone.csv", "");
    expectNothingChanged("a file that is not there", "gone.csv");
    openSeries(rig, folder / "rec.dat", "");
    expectNothingChanged("an ending that names no format", "rec.dat");
    // Too long for one series with a known count: only the unknown count works at any length.
    writeText(folder / "long.csv", csvOf(std::vector<int16_t>(40000, 7)));
    openSeries(rig, folder / "long.csv", "400");
    ASSERT_FALSE(rig.sink.empty());
    EXPECT_NE(rig.sink.last().text.find("any length"), std::string::npos);
    rig.sink.messages.clear();
    expectNothingChanged("a long recording with a known count", "");
    rig.host.openChoice = (folder / "ragged.csv").string();
    rig.command(kCmdOpenEtalons);
    expectNothingChanged("etalons of different lengths", "ragged.csv");

    // Values the dialogs refuse keep them open; Cancel then leaves everything.
    const auto refusedThenCancelled = [&](int dialog, std::map<int, std::string> typed) {
        rig.host.scripts[dialog] = [typed](test::FakeDialogContext& c,
                                           const platform::DialogProcedure& p) {
            for (const auto& [id, text] : typed)
                c.setText(id, text);
            c.press(p, kIdOk);
            EXPECT_FALSE(c.ended);
            EXPECT_EQ(c.messages.size(), 1u);
            c.press(p, kIdCancel);
        };
    };
    rig.host.openChoice = (folder / "rec.csv").string();
    refusedThenCancelled(kDialogOpenSeries, {{kEditRecordingPulses, "2x"}});
    rig.command(kCmdOpenSeries);
    refusedThenCancelled(kDialogOpenSeries, {{kEditRecordingTmax, "10"}});
    rig.command(kCmdOpenSeries);
    refusedThenCancelled(kDialogEtalonFromSeries, {{kEditFirstSample, "1190"}});
    rig.command(kCmdEtalonFromSeries);
    expectNothingChanged("values the dialogs refuse", "");
    EXPECT_TRUE(rig.sink.empty());
}

TEST(FileCommands, OpenedEtalonsReplaceTheAlphabetAndTheSeriesFollows) {
    test::ScratchFolder folder;
    std::string rows;
    std::vector<std::vector<int16_t>> etalons(3, std::vector<int16_t>(50));
    for (std::size_t e = 0; e < 3; ++e) {
        for (std::size_t j = 0; j < 50; ++j) {
            etalons[e][j] = static_cast<int16_t>((j < 25 ? j : 50 - j) * (e + 1));
            rows += std::to_string(etalons[e][j]) + (j + 1 < 50 ? "," : "\n");
        }
    }
    writeText(folder / "three.csv", rows);
    writeText(folder / "rec.csv", csvOf(recordingSamples()));
    CommandRig rig;
    rig.host.openChoice = (folder / "three.csv").string();
    rig.command(kCmdOpenEtalons);
    ASSERT_TRUE(rig.sink.empty()) << rig.sink.last().text;
    const AppState& s = rig.state;
    EXPECT_EQ(s.wEtalonsNumber, 3);
    EXPECT_EQ(s.wEtalonLength, 50);
    for (std::size_t e = 0; e < 3; ++e)
        EXPECT_TRUE(std::ranges::equal(s.alphabet[e].samples(), etalons[e])) << e;
    EXPECT_EQ(std::vector<uint16_t>(s.lpRequiredList.begin(),
                                    s.lpRequiredList.begin() + s.wRequiredCount),
              (std::vector<uint16_t>{1, 2, 3}));
    EXPECT_EQ(s.nDisplayMode, DisplayMode::AlphabetGrid);
    EXPECT_EQ(s.lpSeriesHeader->wImpulseSize, 50);
    rig.command(kCmdNextData);
    EXPECT_EQ(rig.calls.back().etalons, (std::vector<int32_t>{1, 2, 3}));
    EXPECT_TRUE(rig.sink.empty());

    // Saved in either form and read back, the alphabet is the same.
    for (const char* name : {"saved.csv", "saved.json"}) {
        rig.host.saveChoice = SaveChoice{(folder / name).string(), 0};
        rig.command(kCmdSaveEtalons);
        std::vector<PulseHeader> back;
        ASSERT_EQ(
            io::readAlphabetFile((folder / name).string(), *io::alphabetFormatOfPath(name), back),
            "");
        ASSERT_EQ(back.size(), 3u);
        EXPECT_TRUE(std::ranges::equal(back[2].samples(), etalons[2])) << name;
    }

    // A loaded recording is read again for the etalons that replace these.
    openSeries(rig, folder / "rec.csv", "");
    rig.host.openChoice = (folder / "saved.json").string();
    rig.command(kCmdOpenEtalons);
    EXPECT_EQ(rig.state.bSeriesWithoutTruth, 1);
    EXPECT_EQ(rig.state.lpSeriesHeader->dwSeriesSize, 300u);
    EXPECT_EQ(rig.state.lpSeriesHeader->lpPulsesList[2], &rig.state.alphabet[2]);
}

TEST(FileCommands, CutEtalonSavedSeriesAndExportedResults) {
    test::ScratchFolder folder;
    CommandRig rig;
    rig.procedures = workbenchRestoringProcedures();
    rig.command(kCmdNextData);
    const SeriesHeader& series = *rig.state.lpSeriesHeader;

    // The samples at a true pulse become etalon 2.
    const int16_t at = series.lpPositions[1];
    rig.host.scripts[kDialogEtalonFromSeries] =
        typeAndPress({{kEditFirstSample, std::to_string(at)}, {kEditReplacedEtalon, "2"}}, kIdOk);
    rig.command(kCmdEtalonFromSeries);
    EXPECT_TRUE(std::ranges::equal(rig.state.alphabet[1].samples(),
                                   series.noisyData().subspan(at, rig.state.wEtalonLength)));
    EXPECT_EQ(rig.state.alphabet[1].wNumber, 2);

    rig.host.saveChoice = SaveChoice{(folder / "series").string(), 0};
    rig.command(kCmdSaveSeries);
    io::SeriesFile file;
    ASSERT_EQ(io::readSeriesFile((folder / "series.json").string(), rig.state.wEtalonLength,
                                 rig.state.wEtalonsNumber, file),
              "");
    EXPECT_EQ(file.lpNoisyData,
              std::vector<int16_t>(series.noisyData().begin(), series.noisyData().end()));

    rig.command(kCmdSameData);
    rig.host.saveChoice = SaveChoice{(folder / "results.csv").string(), 0};
    rig.command(kCmdExportResults);
    std::ifstream in(folder / "results.csv");
    std::string header;
    std::getline(in, header);
    EXPECT_EQ(header, io::kResultsCsvHeader);
    std::size_t rows = 0;
    for (std::string line; std::getline(in, line);)
        ++rows;
    const ChainsHeader& chains = *rig.state.lpChainsHeader;
    std::size_t pulses = 0;
    for (std::size_t l = 0; l < chains.wPretenders; ++l)
        pulses += static_cast<std::size_t>(chains.pulsesQuantity(l));
    EXPECT_EQ(rows, pulses);
    EXPECT_GT(rows, 0u);

    // A file that cannot be written is reported and nothing is left behind.
    rig.host.saveChoice = SaveChoice{(folder / "no" / "such.csv").string(), 0};
    rig.command(kCmdExportResults);
    ASSERT_FALSE(rig.sink.empty());
    EXPECT_FALSE(std::filesystem::exists(folder / "no"));
}

}  // namespace
}  // namespace etalon
