// A recording longer than a series in the window's commands: opened and
// restored whole, Cancel and refusals keeping the whole state, restored again,
// saved, exported and cut.
#include <gtest/gtest.h>

#include <fstream>

#include "app/main_menu.h"
#include "app/recording_view.h"
#include "dialogs/file_dialogs.h"
#include "export/export_support.h"
#include "io/recording.h"
#include "support/command_rig.h"
#include "support/state_difference.h"

namespace etalon {
namespace {

using test::CommandRig;
using test::stateDifference;
using test::typeAndPress;

constexpr std::size_t kLength = 40'000;

// Etalon 2 every 100 samples over a ripple: a recording a series cannot hold.
std::vector<int16_t> longSamples(const AppState& s) {
    std::vector<int16_t> samples(kLength);
    for (std::size_t i = 0; i < kLength; ++i)
        samples[i] = static_cast<int16_t>(static_cast<int>(i % 5) - 2);
    const auto etalon = s.alphabet[1].samples();
    for (std::size_t p = 30; p + etalon.size() < kLength; p += 100) {
        for (std::size_t j = 0; j < etalon.size(); ++j)
            samples[p + j] = static_cast<int16_t>(samples[p + j] + etalon[j]);
    }
    return samples;
}

struct LongFile {
    test::ScratchFolder folder;
    std::vector<int16_t> samples;
    std::filesystem::path path = folder / "long.csv";

    explicit LongFile(const AppState& s, int gain = 1) : samples(longSamples(s)) {
        std::ofstream out(path);
        for (int16_t& v : samples) {
            v = static_cast<int16_t>(v * gain);
            out << v << '\n';
        }
    }
    void open(CommandRig& rig, const std::string& pulses = "", const std::string& first = "",
              const std::string& count = "") const {
        rig.host.openChoice = path.string();
        rig.host.scripts[kDialogReadRecording] = typeAndPress(
            {{kEditRecordingFirst, first}, {kEditRecordingCount, count}}, platform::kIdOk);
        rig.host.scripts[kDialogOpenSeries] = typeAndPress({{kEditRecordingPulses, pulses},
                                                            {kEditRecordingTmin, "40"},
                                                            {kEditRecordingTmax, "120"},
                                                            {kEditRecordingLevel, "100"}},
                                                           platform::kIdOk);
        rig.command(kCmdOpenSeries);
    }
};

TEST(LongRecordingCommands, OpeningRestoresTheWholeRecordingAndCancelKeepsEverything) {
    CommandRig rig;
    const LongFile file(rig.state);
    // Cancel halfway through, and a refusal (no etalon to look for), change nothing.
    const AppState before = rig.state;
    rig.host.cancelAt = 40;
    file.open(rig);
    EXPECT_EQ(rig.host.progressDone.back(), 40u);  // it was running when cancelled
    EXPECT_EQ(stateDifference(before, rig.state), "");
    EXPECT_TRUE(rig.sink.empty());
    rig.host.cancelAt.reset();
    rig.state.selectedFlags.fill(0);
    rebuildRequiredList(rig.state);
    const AppState empty = rig.state;
    file.open(rig);
    EXPECT_EQ(stateDifference(empty, rig.state), "");
    ASSERT_FALSE(rig.sink.empty());
    EXPECT_NE(rig.sink.last().text.find("Nothing was changed"), std::string::npos);
    rig.state = before;
    rig.sink.messages.clear();

    file.open(rig);
    ASSERT_TRUE(rig.state.longRecording);
    const LongRecording& opened = *rig.state.longRecording;
    EXPECT_EQ(opened.samples, file.samples);
    EXPECT_EQ(rig.host.progressTotals.back(), 100u);
    EXPECT_EQ(rig.state.recordingView, (RecordingView{0, 32767}));
    EXPECT_EQ(rig.state.nDisplayMode, DisplayMode::Results);
    // Recognition with the whole working set finds etalon 2 at every pulse.
    ASSERT_FALSE(opened.chains.empty());
    EXPECT_EQ(opened.chains[0].etalon, 2);
    EXPECT_EQ(opened.pulses().size(), 400u);
    EXPECT_EQ(opened.pulses()[300].position, 30'030);

    // Processing Same Data after another task restores it again for that task;
    // cancelled, the whole command is undone.
    rig.state.nSelectedEtalon = 2;  // detection looks for the singled-out etalon alone
    rig.command(kCmdDetection);
    const AppState detecting = rig.state;
    rig.host.cancelAt = 10;
    rig.command(kCmdSameData);
    EXPECT_EQ(stateDifference(detecting, rig.state), "");
    rig.host.cancelAt.reset();
    rig.command(kCmdSameData);
    EXPECT_NE(rig.state.longRecording, detecting.longRecording);
    EXPECT_EQ(rig.state.longRecording->task, RecordingTask::Detection);
    EXPECT_EQ(rig.state.longRecording->pulses().size(), 400u);
    // A known count is not restored at this length: said, and nothing changes.
    rig.command(kCmdFixedWhole);
    const AppState fixed = rig.state;
    rig.command(kCmdSameData);
    EXPECT_EQ(stateDifference(fixed, rig.state), "");
    EXPECT_NE(rig.sink.last().text.find("any length"), std::string::npos);
}

// At full depth the recording's start could not be a series of 32-bit sums;
// restored whole in 64 bits, it opens. A typed span may pass 32,767 too.
TEST(LongRecordingCommands, FullDepthAndTypedLongSpansOpenWhole) {
    CommandRig rig;
    const LongFile file(rig.state, 200);
    file.open(rig, "", "70", "35000");
    ASSERT_TRUE(rig.state.longRecording) << (rig.sink.empty() ? "" : rig.sink.last().text);
    const LongRecording& opened = *rig.state.longRecording;
    EXPECT_EQ(opened.first, 70u);
    EXPECT_EQ(opened.samples,
              std::vector<int16_t>(file.samples.begin() + 70, file.samples.begin() + 35070));
    ASSERT_FALSE(opened.chains.empty());
    EXPECT_EQ(opened.chains[0].etalon, 2);
    EXPECT_EQ(opened.pulses().size(), 350u);
}

TEST(LongRecordingCommands, SavingExportingAndCuttingUseTheWholeRecording) {
    CommandRig rig;
    const LongFile file(rig.state);
    file.open(rig);
    ASSERT_TRUE(rig.state.longRecording);
    const test::ScratchFolder out;

    // CSV reads back as the same samples; JSON and a WAV without a rate are refused.
    rig.host.saveChoice = SaveChoice{(out / "whole.csv").string(), 1};
    rig.command(kCmdSaveSeries);
    io::Recording back;
    io::RecordingRequest request;
    request.path = (out / "whole.csv").string();
    request.anyLength = true;
    ASSERT_EQ(io::readRecording(request, back), "");
    EXPECT_EQ(back.samples, file.samples);
    for (const char* name : {"whole.json", "whole.wav"}) {
        rig.sink.messages.clear();
        rig.host.saveChoice = SaveChoice{(out / name).string(), 0};
        rig.command(kCmdSaveSeries);
        EXPECT_FALSE(std::filesystem::exists(out / name)) << name;
        ASSERT_FALSE(rig.sink.empty()) << name;
    }
    EXPECT_NE(rig.sink.last().text.find("sample rate"), std::string::npos);
    // With a rate, WAV reads back as the same samples at that rate.
    auto timed = std::make_shared<LongRecording>();
    timed->samples = file.samples;
    timed->rate = 360;
    const auto untimed = rig.state.longRecording;
    rig.state.longRecording = timed;
    rig.host.saveChoice = SaveChoice{(out / "timed").string(), 0};
    rig.command(kCmdSaveSeries);
    request.path = (out / "timed.wav").string();
    request.format = io::RecordingFormat::Wav;
    ASSERT_EQ(io::readRecording(request, back), "");
    EXPECT_EQ(back.samples, file.samples);
    EXPECT_EQ(back.sampleRate, 360.0);
    rig.state.longRecording = untimed;

    // Every pulse of every chain, one row each.
    rig.host.saveChoice = SaveChoice{(out / "results.csv").string(), 0};
    rig.command(kCmdExportResults);
    std::ifstream rows(out / "results.csv");
    std::size_t lines = 0, expected = 1;
    for (std::string line; std::getline(rows, line);)
        ++lines;
    for (const RecordingChain& chain : rig.state.longRecording->chains)
        expected += chain.pulses.size();
    EXPECT_EQ(lines, expected);

    // An etalon cut past what a series holds.
    rig.host.scripts[kDialogEtalonFromSeries] =
        typeAndPress({{kEditFirstSample, "39930"}, {kEditReplacedEtalon, "5"}}, platform::kIdOk);
    rig.command(kCmdEtalonFromSeries);
    const auto cut = rig.state.alphabet[4].samples();
    ASSERT_EQ(cut.size(), 20u);
    EXPECT_TRUE(std::equal(cut.begin(), cut.end(), file.samples.begin() + 39930));
    // Its pulses named etalons of the alphabet before: they wait for a new run.
    const auto alphabetFile = out / "etalons.csv";
    rig.host.saveChoice = SaveChoice{alphabetFile.string(), 0};
    rig.command(kCmdSaveEtalons);
    rig.host.openChoice = alphabetFile.string();
    rig.command(kCmdOpenEtalons);
    ASSERT_TRUE(rig.state.longRecording);
    EXPECT_EQ(rig.state.longRecording->samples, file.samples);
    EXPECT_TRUE(rig.state.longRecording->chains.empty());
}

}  // namespace
}  // namespace etalon
