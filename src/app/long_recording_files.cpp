#include "app/long_recording_files.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "dialogs/file_dialogs.h"
#include "io/etalon_cut.h"
#include "io/recording_writer.h"
#include "io/results_csv.h"
#include "io/text_file.h"

namespace etalon {
namespace {

std::string withEnding(const SaveChoice& choice, const std::vector<const char*>& endings) {
    std::filesystem::path path(choice.name);
    if (!path.has_extension()) path += endings[std::min(choice.filter, endings.size() - 1)];
    return path.string();
}

}  // namespace

void exportLongResults(CommandContext& ctx, const LongRecording& recording) {
    constexpr char kCaption[] = " Export results...";
    if (recording.chains.empty()) {
        ctx.sink.show("The whole recording was restored, but no chain of pulses fits it.", kCaption,
                      MessageIcon::Information);
        return;
    }
    const auto chosen = ctx.host.askSaveFile("Results File Name", {"CSV Files (*.csv)"});
    if (!chosen || chosen->name.empty()) return;
    io::ResultPlace place{recording.first, std::nullopt};
    if (recording.rate > 0) place.sampleRate = recording.rate;
    std::string text = std::string(io::kResultsCsvHeader) + '\n';
    for (std::size_t c = 0; c < recording.chains.size(); ++c) {
        const RecordingChain& chain = recording.chains[c];
        for (std::size_t k = 0; k < chain.pulses.size(); ++k) {
            const RecordingPulse& p = chain.pulses[k];
            text += io::resultsCsvRow(c + 1, k + 1, static_cast<uint64_t>(p.position), place,
                                      p.etalon, p.cutStart, p.cutEnd, chain.criterion);
        }
    }
    if (std::string problem = io::writeTextFile(withEnding(*chosen, {".csv"}), text);
        !problem.empty())
        ctx.sink.show(problem, kCaption, MessageIcon::Warning);
}

void saveLongSeries(CommandContext& ctx, const LongRecording& recording) {
    constexpr char kCaption[] = " Save series...";
    const auto chosen = ctx.host.askSaveFile(
        "Series File Name", {"WAV Files (*.wav)", "CSV Files (*.csv)", "JSON Files (*.json)"});
    if (!chosen || chosen->name.empty()) return;
    const std::string path = withEnding(*chosen, {".wav", ".csv", ".json"});
    const std::string ending = std::filesystem::path(path).extension().string();
    std::string problem;
    if (ending == ".wav") {
        const double rate = recording.rate > 0 ? std::round(recording.rate) : 0;
        if (rate < 1 || rate > UINT32_MAX / 2) {
            problem = path +
                      ": a WAV file needs a sample rate, and this recording came without one. "
                      "Save it as CSV instead.";
        } else if (recording.size() > (UINT32_MAX - 36) / 2) {
            problem = path + ": a WAV file holds at most 2,147,483,629 samples. Save it as CSV.";
        } else {
            problem = io::writeTextFile(
                path, io::wavRecordingBytes(recording.samples, static_cast<uint32_t>(rate)));
        }
    } else if (ending == ".csv") {
        problem = io::writeTextFile(path, io::csvRecordingText(recording.samples));
    } else {
        problem = path +
                  ": a series file (JSON) holds at most 32,767 samples, and this recording "
                  "has " +
                  std::to_string(recording.size()) + ". Save it as WAV or CSV.";
    }
    if (!problem.empty()) ctx.sink.show(problem, kCaption, MessageIcon::Warning);
}

void cutEtalonFromLongRecording(CommandContext& ctx, const LongRecording& recording) {
    AppState& s = ctx.state;
    constexpr char kCaption[] = " Etalon from series...";
    EtalonFromSeriesValues values;
    values.seriesLength = static_cast<uint32_t>(std::min<uint64_t>(recording.size(), UINT32_MAX));
    values.pulseLength = s.wEtalonLength;
    values.etalons = s.wEtalonsNumber;
    values.etalon = std::clamp<int32_t>(s.nSelectedEtalon, 1, s.wEtalonsNumber);
    // The first restored pulse in view, else the view's start.
    values.firstSample =
        static_cast<uint32_t>(std::min<uint64_t>(s.recordingView.first, UINT32_MAX));
    for (const RecordingPulse& p : recording.pulses()) {
        if (static_cast<uint64_t>(p.position) >= s.recordingView.first) {
            values.firstSample = static_cast<uint32_t>(p.position);
            break;
        }
    }
    ctx.host.runDialog(kDialogEtalonFromSeries, etalonFromSeriesTemplate(),
                       etalonFromSeriesProcedure(values));
    if (!values.accepted) return;
    PulseHeader cut;
    const auto number = static_cast<uint16_t>(values.dlgEtalon);
    if (std::string problem =
            io::cutEtalon(recording.samples, values.dlgFirstSample, s.wEtalonLength, number, cut);
        !problem.empty()) {
        ctx.sink.show(problem + "\nNothing was changed.", kCaption, MessageIcon::Warning);
        return;
    }
    s.alphabet[number - 1] = std::move(cut);
    s.alphabet[number - 1].wNumber = number;
    int32_t largest = s.wPulseAmplitude;
    for (int16_t v : s.alphabet[number - 1].samples())
        largest = std::max(largest, std::abs(int32_t{v}));
    s.wPulseAmplitude = static_cast<uint16_t>(std::min<int32_t>(largest, INT16_MAX));
    s.nDisplayMode = DisplayMode::AlphabetGrid;
    s.bRepaintButtons = 1;
    ctx.host.invalidate(nullptr, true);
}

}  // namespace etalon
