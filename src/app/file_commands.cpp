// The file commands: recordings and alphabets in, series, alphabets and
// results out. A refused file is reported and changes nothing.
#include "app/file_commands.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "app/long_recording_commands.h"
#include "app/long_recording_files.h"
#include "app/main_menu.h"
#include "app/recording_view.h"
#include "app/series_commands.h"
#include "dialogs/file_dialogs.h"
#include "io/alphabet_file.h"
#include "io/etalon_cut.h"
#include "io/recording.h"
#include "io/recording_series.h"
#include "io/results_csv.h"
#include "io/series_file.h"
#include "io/sum_range.h"
#include "pulses/alphabet.h"
#include "series/series_generator.h"

namespace etalon {
namespace {

constexpr const char* kOpenSeriesCaption = " Open series...";
constexpr const char* kOpenEtalonsCaption = " Open etalons...";
constexpr const char* kSaveEtalonsCaption = " Save etalons...";
constexpr const char* kCutCaption = " Etalon from series...";
constexpr const char* kSaveSeriesCaption = " Save series...";
constexpr const char* kExportCaption = " Export results...";

int16_t largestMagnitude(std::span<const PulseHeader> etalons) {
    int32_t largest = 1;
    for (const PulseHeader& e : etalons) {
        for (int16_t v : e.samples())
            largest = std::max(largest, std::abs(int32_t{v}));
    }
    return static_cast<int16_t>(std::min<int32_t>(largest, INT16_MAX));
}

uint16_t seriesTypeItem(SeriesCode type) {
    switch (type) {
        case SeriesCode::UnfixedWhole:
            return kCmdUnfixedWhole;
        case SeriesCode::FixedCutoff:
            return kCmdFixedCutoff;
        case SeriesCode::UnfixedCutoff:
            return kCmdUnfixedCutoff;
        default:
            return kCmdFixedWhole;
    }
}

// The name chosen, with the filter's ending when it has none.
std::string withEnding(const SaveChoice& choice, const std::vector<const char*>& endings) {
    std::filesystem::path path(choice.name);
    if (!path.has_extension()) path += endings[std::min(choice.filter, endings.size() - 1)];
    return path.string();
}

void refuseFile(MessageSink& sink, const std::string& why, const char* caption) {
    sink.show(why + "\nNothing was changed.", caption, MessageIcon::Warning);
}

}  // namespace

// The series' etalon list points at the window's alphabet.
void linkAlphabet(SeriesHeader& series, AppState& s) {
    if (series.lpPulsesList.size() < s.wEtalonsNumber) series.lpPulsesList.resize(s.wEtalonsNumber);
    for (std::size_t i = 0; i < series.lpPulsesList.size(); ++i)
        series.lpPulsesList[i] = i < s.wEtalonsNumber ? &s.alphabet[i] : nullptr;
    series.wReservedEtalons =
        static_cast<uint16_t>(std::max<std::size_t>(series.wReservedEtalons, s.wEtalonsNumber));
    series.wEtalons = s.wEtalonsNumber;
    series.lpFirstPulse = &s.alphabet[0];
}

// The recording's series for these etalons; pulses 0 leaves the count unknown.
std::unique_ptr<SeriesHeader> recordingSeries(MessageSink& sink, std::span<const int16_t> samples,
                                              uint16_t pulses, uint16_t tmin, uint16_t tmax,
                                              uint16_t level, std::span<const PulseHeader> etalons,
                                              io::RecordingRefusal& refusal, bool sumsChecked) {
    io::RecordingProcessing how;
    how.tmin = tmin;
    how.tmax = tmax;
    if (pulses > 0) how.pulses = pulses;
    how.processingLevel = level;
    how.alphabet = etalons;
    // Every etalon, not only the working set: the set changes without the series being read again.
    if (sumsChecked) how.fitted = etalons;
    return io::seriesFromRecording(sink, samples, how, refusal);
}

bool adoptRecordingSeries(CommandContext& ctx, std::unique_ptr<SeriesHeader> series,
                          const std::string& path, const io::Recording& recording,
                          const OpenSeriesValues& values) {
    AppState& s = ctx.state;
    auto chains = getChainsHeader(ctx.sink, 10, std::max(s.wMaxPulses, series->wMaxPulses),
                                  std::move(s.lpChainsHeader));
    s.lpChainsHeader = std::move(chains);
    if (!s.lpChainsHeader) return false;

    linkAlphabet(*series, s);
    s.lpSeriesHeader = std::move(series);
    s.longRecording.reset();
    s.bSeriesWithoutTruth = 1;
    s.recordingName = std::filesystem::path(path).filename().string();
    s.dwRecordingFirst = recording.first;
    s.dRecordingRate = recording.sampleRate.value_or(0.0);
    s.dwSeriesLength = values.seriesLength;
    s.wTmin = values.dlgTmin;
    s.wTmax = values.dlgTmax;
    s.wProcessingLevel = values.dlgProcessingLevel;
    s.wLostLevel = static_cast<int16_t>(100 - values.dlgProcessingLevel);
    s.wSeriesPulses = values.dlgPulses;
    const SeriesCode type =
        io::recordingSeriesType(values.dlgPulses > 0, values.dlgProcessingLevel);
    commands::chooseSeriesType(ctx, seriesTypeItem(type));
    s.wProcessingLevel = values.dlgProcessingLevel;  // a whole-pulse type resets the levels
    s.wEffectiveTask = effectiveTask(s.wTaskType, s.wSeriesType);
    s.bRepaintLength = s.bRepaintNoise = s.bRepaintLost = 1;
    s.wMainView = MainView::SeriesGraph;
    ctx.host.invalidate(nullptr, true);
    return true;
}

namespace commands {

// Declared ahead: it follows " Open etalons...", which calls it.
static void adoptAlphabetSelection(AppState& s);

// " Open series...": a recording, which of its values, then how to process
// them, then the run.
void openSeries(CommandContext& ctx) {
    AppState& s = ctx.state;
    const auto path = ctx.host.askOpenFile(
        "Open series", {"Recordings (*.csv *.txt *.tsv *.wav *.json)", "All files (*)"});
    if (!path || path->empty()) return;
    io::RecordingRequest request;
    request.path = *path;
    const auto format = io::recordingFormatOfPath(*path);
    if (!format) {
        return refuseFile(ctx.sink,
                          *path + ": the ending does not say whether the file is CSV, WAV or JSON.",
                          kOpenSeriesCaption);
    }
    request.format = *format;
    io::Recording recording;
    // No span typed: the whole recording, restored whole when a series cannot hold it.
    request.anyLength = true;
    const auto read = [&](const ReadRecordingValues& typed) {
        request.column = typed.dlgColumn;
        request.channel = typed.dlgChannel;
        request.first = typed.dlgFirst;
        request.count = typed.dlgCount > 0 ? std::optional<uint64_t>(typed.dlgCount) : std::nullopt;
        return io::readRecording(request, recording);
    };
    ReadRecordingValues reading;
    ctx.host.runDialog(kDialogReadRecording,
                       readRecordingTemplate(*format == io::RecordingFormat::Csv,
                                             *format == io::RecordingFormat::Wav),
                       readRecordingProcedure(reading, read));
    if (!reading.accepted) return;

    OpenSeriesValues values;
    values.seriesLength = static_cast<uint32_t>(recording.samples.size());
    if (recording.scaled) values.scale = recording.scale;
    values.pulseLength = s.wEtalonLength;
    values.tmin = s.wTmin;
    values.tmax = std::max(s.wTmax, s.wEtalonLength);
    values.processingLevel = s.wProcessingLevel;
    ctx.host.runDialog(kDialogOpenSeries, openSeriesTemplate(), openSeriesProcedure(values));
    if (!values.accepted) return;
    if (recording.samples.size() > io::kMostRecordingSamples)
        return openLongRecording(ctx, std::move(recording), *path, values);

    io::RecordingRefusal refusal;
    auto series =
        recordingSeries(ctx.sink, recording.samples, values.dlgPulses, values.dlgTmin,
                        values.dlgTmax, values.dlgProcessingLevel, alphabetOf(s), refusal);
    if (!series) {
        if (refusal.refused()) refuseFile(ctx.sink, refusal.text, kOpenSeriesCaption);
        return;
    }
    if (!adoptRecordingSeries(ctx, std::move(series), *path, recording, values)) return;
    ctx.host.sendCommand(kCmdProcess);
}

// " Save series...": the series record as JSON the command line reads back.
void saveSeries(CommandContext& ctx) {
    if (!ctx.state.lpSeriesHeader) {
        ctx.sink.show("There is no series to save.", kSaveSeriesCaption, MessageIcon::Information);
        return;
    }
    if (const LongRecording* shown = shownLongRecording(ctx.state))
        return saveLongSeries(ctx, *shown);
    const auto chosen = ctx.host.askSaveFile("Series File Name", {"JSON Files (*.json)"});
    if (!chosen || chosen->name.empty()) return;
    const std::string path = withEnding(*chosen, {".json"});
    if (std::string problem = io::writeSeriesFile(path, *ctx.state.lpSeriesHeader);
        !problem.empty())
        ctx.sink.show(problem, kSaveSeriesCaption, MessageIcon::Warning);
}

// " Export results...": the ranked chains of the last run, one restored pulse a row.
void exportResults(CommandContext& ctx) {
    if (const LongRecording* shown = shownLongRecording(ctx.state))
        return exportLongResults(ctx, *shown);
    const ChainsHeader* chains = ctx.state.lpChainsHeader.get();
    if (!chains || chains->wState <= 1 || chains->wPretenders == 0) {
        ctx.sink.show("There are no results to export yet: process a series first.", kExportCaption,
                      MessageIcon::Information);
        return;
    }
    std::vector<io::ResultChain> rows;
    for (std::size_t l = 0; l < std::min<std::size_t>(chains->wPretenders, chains->wMaxSize); ++l) {
        const auto n = static_cast<std::size_t>(
            std::clamp<int32_t>(chains->pulsesQuantity(l), 0, chains->wMaxPulses));
        rows.push_back({chains->distance(l), chains->pulsesList(l).first(n),
                        chains->positionsList(l).first(n), chains->cutStartsList(l).first(n),
                        chains->cutEndsList(l).first(n)});
    }
    io::ResultPlace place;
    if (ctx.state.bSeriesWithoutTruth) {
        place.first = ctx.state.dwRecordingFirst;
        if (ctx.state.dRecordingRate > 0) place.sampleRate = ctx.state.dRecordingRate;
    }
    const auto chosen = ctx.host.askSaveFile("Results File Name", {"CSV Files (*.csv)"});
    if (!chosen || chosen->name.empty()) return;
    const std::string path = withEnding(*chosen, {".csv"});
    if (std::string problem = io::writeResultsCsv(path, rows, place); !problem.empty())
        ctx.sink.show(problem, kExportCaption, MessageIcon::Warning);
}

// " Save etalons...": the alphabet as CSV or JSON, as the ending or the filter says.
void saveEtalons(CommandContext& ctx) {
    const auto chosen =
        ctx.host.askSaveFile("Etalons File Name", {"CSV Files (*.csv)", "JSON Files (*.json)"});
    if (!chosen || chosen->name.empty()) return;
    const std::string path = withEnding(*chosen, {".csv", ".json"});
    const auto format = io::alphabetFormatOfPath(path);
    if (!format) {
        ctx.sink.show(path + ": an etalon file ends in .csv or .json.", kSaveEtalonsCaption,
                      MessageIcon::Warning);
        return;
    }
    if (std::string problem = io::writeAlphabetFile(path, alphabetOf(ctx.state), *format);
        !problem.empty()) {
        ctx.sink.show(problem, kSaveEtalonsCaption, MessageIcon::Warning);
    }
}

// " Open etalons...": a new alphabet, all of it in the working set. The
// series follows it: a recording is read again for the new etalons, a made
// series is made anew, since its truth belonged to the old ones.
void openEtalons(CommandContext& ctx) {
    AppState& s = ctx.state;
    const auto path = ctx.host.askOpenFile("Open etalons",
                                           {"Etalon files (*.csv *.txt *.json)", "All files (*)"});
    if (!path || path->empty()) return;
    const auto format = io::alphabetFormatOfPath(*path);
    if (!format) {
        return refuseFile(ctx.sink, *path + ": an etalon file ends in .csv, .txt or .json.",
                          kOpenEtalonsCaption);
    }
    std::vector<PulseHeader> etalons;
    if (std::string problem = io::readAlphabetFile(*path, *format, etalons); !problem.empty())
        return refuseFile(ctx.sink, problem, kOpenEtalonsCaption);
    const auto count = static_cast<uint16_t>(etalons.size());
    const uint16_t length = etalons[0].wSize;

    std::unique_ptr<SeriesHeader> recording;
    const bool loaded = s.bSeriesWithoutTruth && s.lpSeriesHeader;
    if (loaded) {
        const SeriesHeader& old = *s.lpSeriesHeader;
        io::RecordingRefusal refusal;
        recording = recordingSeries(ctx.sink, old.noisyData(), old.wImpulseQuantity, s.wTmin,
                                    s.wTmax, s.wProcessingLevel, etalons, refusal);
        if (!recording) {
            if (refusal.refused()) refuseFile(ctx.sink, refusal.text, kOpenEtalonsCaption);
            return;
        }
    } else if (seriesGeometryFault(s.dwSeriesLength, length, s.wTmin, s.wTmax) !=
               GeometryFault::None) {
        return refuseFile(
            ctx.sink,
            *path + ": its etalons are " + std::to_string(length) +
                " samples long, which a series of " + std::to_string(s.dwSeriesLength) +
                " samples with intervals from " + std::to_string(s.wTmin) + " to " +
                std::to_string(s.wTmax) +
                " cannot hold. Choose a geometry that fits in \" Create series... \" first.",
            kOpenEtalonsCaption);
    }

    freeAlphabet(s.alphabet, s.wEtalonsNumber);
    for (uint16_t i = 0; i < count; ++i) {
        s.alphabet[i] = std::move(etalons[i]);
        s.alphabet[i].wNumber = static_cast<uint16_t>(i + 1);
    }
    s.wEtalonsNumber = count;
    s.wEtalonLength = length;
    s.wPulseAmplitude = static_cast<uint16_t>(largestMagnitude(alphabetOf(s)));
    s.bAlphabetReady = 1;
    adoptAlphabetSelection(s);
    if (loaded) {
        linkAlphabet(*recording, s);
        s.lpSeriesHeader = std::move(recording);
        // Its pulses named the old etalons: the recording waits to be restored again.
        if (s.longRecording) s.longRecording = unrestoredCopy(*s.longRecording);
    } else {
        makeSeriesFromState(s, ctx.sink);
    }
    s.lpChainsHeader = getChainsHeader(
        ctx.sink, 10,
        std::max<uint16_t>(s.wMaxPulses, s.lpSeriesHeader ? s.lpSeriesHeader->wMaxPulses : 0),
        std::move(s.lpChainsHeader));
    s.nDisplayMode = DisplayMode::AlphabetGrid;
    s.bRepaintButtons = 1;
    ctx.host.invalidate(nullptr, true);
}

// Everything that names etalons starts over with the new alphabet.
static void adoptAlphabetSelection(AppState& s) {
    const uint16_t count = s.wEtalonsNumber;
    std::fill(s.selectedFlags.begin(), s.selectedFlags.end(), int16_t{0});
    std::fill(s.selectedFlags.begin() + 1, s.selectedFlags.begin() + 1 + count, int16_t{1});
    s.wRequiredCapacity = count;
    rebuildRequiredList(s);
    const auto inAlphabet = [count](int32_t& etalon) {
        if (etalon < 1 || etalon > count) etalon = 1;
    };
    inAlphabet(s.nSelectedEtalon);
    inAlphabet(s.nDefaultEtalon);
    s.nPrevSelectedEtalon = 0;
    for (auto* sequence : {&s.lpEtalonSequence, &s.lpEditedSequence}) {
        for (uint16_t& e : *sequence) {
            if (e < 1 || e > count) e = static_cast<uint16_t>(s.nDefaultEtalon);
        }
    }
    // Patterns named etalons of the old alphabet.
    clearSelection(s.subsetPanel);
    s.subsetPanel.reservedCount = 0;
    s.subsetPanel.pickedReserved = 0;

    const PulseCountBounds bounds =
        pulseCountBounds(s.dwNewSeriesLength, s.wEtalonLength, s.wTmin, s.wTmax);
    s.wMinPulses = bounds.minPulses;
    s.wMaxPulses = bounds.maxPulses;
    s.wRequestedPulses = defaultPulseCount(bounds);
    const PulseCountBounds current =
        pulseCountBounds(s.dwSeriesLength, s.wEtalonLength, s.wTmin, s.wTmax);
    if (s.wSeriesPulses < std::max<uint16_t>(current.minPulses, 1) ||
        s.wSeriesPulses > current.maxPulses) {
        s.wSeriesPulses = defaultPulseCount(current);
    }
    growEtalonSequence(s, std::max({s.wMaxPulses, current.maxPulses, s.wSeriesPulses}));
}

// " Etalon from series...": samples of the current series become one etalon.
void etalonFromSeries(CommandContext& ctx) {
    AppState& s = ctx.state;
    if (!s.lpSeriesHeader) {
        ctx.sink.show("There is no series to cut an etalon from.", kCutCaption,
                      MessageIcon::Information);
        return;
    }
    if (const LongRecording* shown = shownLongRecording(s))
        return cutEtalonFromLongRecording(ctx, *shown);
    const SeriesHeader& series = *s.lpSeriesHeader;
    EtalonFromSeriesValues values;
    values.seriesLength = series.dwSeriesSize;
    values.pulseLength = s.wEtalonLength;
    values.etalons = s.wEtalonsNumber;
    values.etalon = std::clamp<int32_t>(s.nSelectedEtalon, 1, s.wEtalonsNumber);
    if (series.wRestoredQuantity > 0 && !series.lpRestoredPositions.empty())
        values.firstSample =
            static_cast<uint32_t>(std::max<int16_t>(series.lpRestoredPositions[0], 0));
    ctx.host.runDialog(kDialogEtalonFromSeries, etalonFromSeriesTemplate(),
                       etalonFromSeriesProcedure(values));
    if (!values.accepted) return;

    PulseHeader cut;
    const auto number = static_cast<uint16_t>(values.dlgEtalon);
    std::string problem =
        io::cutEtalon(series.noisyData(), values.dlgFirstSample, s.wEtalonLength, number, cut);
    if (problem.empty()) {
        std::vector<PulseHeader> next(s.alphabet.begin(), s.alphabet.begin() + s.wEtalonsNumber);
        next[number - 1] = cut;
        problem =
            io::sumWrapProblem(series.noisyData(), next, std::max<uint16_t>(series.wMaxPulses, 1));
    }
    if (!problem.empty()) return refuseFile(ctx.sink, problem, kCutCaption);
    s.alphabet[number - 1] = std::move(cut);
    s.alphabet[number - 1].wNumber = number;
    // The grid draws every etalon within the amplitude.
    s.wPulseAmplitude = std::max<uint16_t>(s.wPulseAmplitude, largestMagnitude(alphabetOf(s)));
    s.nDisplayMode = DisplayMode::AlphabetGrid;
    s.bRepaintButtons = 1;
    ctx.host.invalidate(nullptr, true);
}

}  // namespace commands
}  // namespace etalon
