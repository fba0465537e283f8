#include "app/long_recording_commands.h"

#include <filesystem>
#include <new>

#include "app/file_commands.h"
#include "app/main_menu.h"
#include "app/recording_view.h"
#include "app/series_commands.h"
#include "base/collecting_sink.h"
#include "base/memory_budget.h"
#include "processing/restoring_stop.h"
#include "series/series_generator.h"

namespace etalon {

const char* const kUnknownCountOnly =
    "A recording longer than 32,767 samples is restored with an unknown pulse count, which "
    "works at any length: choose an unfixed whole-pulse or cut-off series type and Detection, "
    "Recognition, Joint Detection and Identification or Series Processing. A known count and "
    "tuples work on spans of at most 32,767 samples (First Sample and Number of Samples).";

namespace {

constexpr char kRestoringCaption[] = " Processing ";

// The whole-recording task of an effective task; none for the tuples tasks.
std::optional<RecordingTask> recordingTask(TaskCode effective) {
    if (effective == TaskCode::Recognition) return RecordingTask::Recognition;
    if (effective == TaskCode::Detection || effective == TaskCode::Joint ||
        effective == TaskCode::SeriesProcessing)
        return RecordingTask::Detection;
    return std::nullopt;
}

struct WholeRun {
    std::vector<int16_t> samples;
    uint64_t first = 0;
    double rate = 0;
    RecordingTask task = RecordingTask::Detection;
    uint16_t tmin = 40, tmax = 181, level = 100;
};

// Restores on the progress thread; null after Cancel, a refusal or a failure
// (the last two told). Nothing of the state is read or written meanwhile.
std::shared_ptr<const LongRecording> restoreWhole(CommandContext& ctx, WholeRun run) {
    const AppState& s = ctx.state;
    const std::vector<PulseHeader> alphabet(alphabetOf(s).begin(), alphabetOf(s).end());
    const std::vector<uint16_t> list(workingSet(s).begin(), workingSet(s).end());
    auto made = std::make_shared<LongRecording>();
    made->samples = std::move(run.samples);
    made->first = run.first;
    made->rate = run.rate;
    made->task = run.task;

    RecordingChainRequest request;
    request.samples = made->samples;
    request.alphabet = alphabet;
    request.etalons = list;
    request.geometry = {run.tmin, run.tmax};
    request.processingLevel = run.level;
    request.task = run.task;
    // The envelope: under a quarter of the samples' bytes, said with the rest.
    const std::size_t need = recordingChainMemoryNeed(request) + made->samples.size() / 2;
    const MemoryBudget budget = memoryBudget(std::nullopt, "");
    if (need > budget.bytes) {
        ctx.sink.show("Restoring the recording needs about " + memoryText(need) +
                          " of memory besides its samples, but " + memoryText(budget.bytes) +
                          " is available (" + budget.source + ").\nNothing was changed.",
                      kRestoringCaption, MessageIcon::Warning);
        return nullptr;
    }
    std::string failure;
    bool done = false;
    const bool finished =
        ctx.host.runWithProgress(kRestoringCaption, 100, [&](platform::ProgressChannel& channel) {
            request.stop = &channel.cancelFlag();
            request.progress = [&](uint64_t swept, uint64_t total) {
                if (total > 0) channel.report(static_cast<uint32_t>(swept * 100 / total));
            };
            try {
                made->chains = restoreRecordingChain(request).chains;
                made->envelope = EnvelopePyramid(made->samples);
                done = true;
            } catch (const RestoringStopped&) {
            } catch (const RecordingRefused& refused) {
                failure = refused.what();
            } catch (const std::bad_alloc&) {
                failure = "There is not enough memory to restore the whole recording.";
            } catch (const std::exception& e) {
                failure = std::string("The restoration stopped: ") + e.what();
            }
        });
    if (!failure.empty())
        ctx.sink.show(failure + "\nNothing was changed.", kRestoringCaption, MessageIcon::Warning);
    if (!finished || !done) return nullptr;
    return made;
}

}  // namespace

void openLongRecording(CommandContext& ctx, io::Recording&& recording, const std::string& path,
                       const OpenSeriesValues& values) {
    AppState& s = ctx.state;
    const SeriesCode type =
        io::recordingSeriesType(values.dlgPulses > 0, values.dlgProcessingLevel);
    const auto task = recordingTask(effectiveTask(s.wTaskType, type));
    if (values.dlgPulses > 0 || !task) {
        ctx.sink.show(std::string(kUnknownCountOnly) + "\nNothing was changed.", " Open series...",
                      MessageIcon::Information);
        return;
    }
    // What the commands that need a series read: the recording's start.
    io::RecordingRefusal refusal;
    const auto head = std::span<const int16_t>(recording.samples).first(io::kMostRecordingSamples);
    auto series = recordingSeries(ctx.sink, head, 0, values.dlgTmin, values.dlgTmax,
                                  values.dlgProcessingLevel, alphabetOf(s), refusal, false);
    if (!series) {
        if (refusal.refused())
            ctx.sink.show(refusal.text + "\nNothing was changed.", " Open series...",
                          MessageIcon::Warning);
        return;
    }
    WholeRun run{std::move(recording.samples),
                 recording.first,
                 recording.sampleRate.value_or(0.0),
                 *task,
                 values.dlgTmin,
                 values.dlgTmax,
                 values.dlgProcessingLevel};
    auto restored = restoreWhole(ctx, std::move(run));
    if (!restored) return;
    if (!adoptRecordingSeries(ctx, std::move(series), path, recording, values)) return;
    s.recordingView = openingView(restored->size());
    s.longRecording = std::move(restored);
    s.nDisplayMode = DisplayMode::Results;
}

std::shared_ptr<const LongRecording> unrestoredCopy(const LongRecording& recording) {
    auto copy = std::make_shared<LongRecording>();
    copy->samples = recording.samples;
    copy->envelope = EnvelopePyramid(copy->samples);
    copy->task = recording.task;
    copy->first = recording.first;
    copy->rate = recording.rate;
    return copy;
}

void processLongRecording(CommandContext& ctx) {
    AppState& s = ctx.state;
    const LongRecording* shown = shownLongRecording(s);
    const auto task = recordingTask(s.wEffectiveTask);
    if (!task || !isUnfixedSeries(s.wSeriesType)) {
        ctx.sink.show(kUnknownCountOnly, " Processing", MessageIcon::Information);
        return;
    }
    WholeRun run{shown->samples, shown->first, shown->rate,       *task,
                 s.wTmin,        s.wTmax,      s.wProcessingLevel};
    auto restored = restoreWhole(ctx, std::move(run));
    if (!restored) {
        s.bDropInput = 1;  // a rerun's change of task or set goes with it
        return;
    }
    s.recordingView = clampedView(s.recordingView, restored->size());
    s.longRecording = std::move(restored);
    s.nDisplayMode = DisplayMode::Results;
    s.wMainView = MainView::SeriesGraph;
    ctx.repaintGraphArea(true);
}

}  // namespace etalon
