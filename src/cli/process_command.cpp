#include "cli/process_command.h"

#include "cli/number_list.h"
#include "cli/option_checks.h"

#include <algorithm>
#include <charconv>
#include <memory>
#include <thread>

#include "cli/commands.h"
#include "cli/process_json.h"
#include "cli/recording_files.h"
#include "cli/recording_process.h"
#include "cli/standard_output.h"
#include "cli/task_options.h"
#include "io/recording_series.h"
#include "io/results_csv.h"
#include "io/series_file.h"
#include "io/sum_range.h"
#include "processing/matched_filter.h"
#include "processing/restoring.h"
#include "processing/task_codes.h"
#include "series/subsets.h"
#include "simulation/restoring_budget.h"

namespace etalon::cli {

namespace {

struct Run {
    SeriesCode type;
    TaskCode effectiveTask;
    uint16_t tmin, tmax, makingLevel, processingLevel, proceeding;
    std::vector<uint16_t> list;
    MemoryBudget budget;
    bool matchedFilter = false;  // the greedy baseline in place of the exact procedure
};

std::vector<int32_t> currentSubset(const SeriesHeader& s) {
    return {s.lpSelectedSubset.begin(), s.lpSelectedSubset.begin() + s.wSubsetLength};
}

std::vector<std::vector<int32_t>> storedSubsets(const SeriesHeader& s) {
    std::vector<std::vector<int32_t>> stored;
    for (std::size_t g = 0; g < s.wSubsets; ++g) {
        const auto row = s.storedSubset(g);
        stored.emplace_back(row.begin(), row.end());
    }
    return stored;
}

// The procedure of the processing command for this task and series type.
// Tuples detection searches with `selection` whole, as the window passes its
// subset panel's selection; the record's current subset, cut to the series'
// largest pulse count, is only what the series was made with.
int restore(MessageSink& sink, std::span<const PulseHeader> alphabet, const Run& r,
            std::span<const int32_t> selection, ChainsHeader* chains, SeriesHeader& s) {
    const RestoringProcedure procedure = chooseRestoringProcedure(r.effectiveTask, r.type);
    if (r.matchedFilter && !matchedFilterRestores(procedure))
        throw BadInput{
            "--method matched-filter: the matched filter restores single pulses, not "
            "the tuples of series type " +
            std::to_string(codeNumber(r.type)) + "; use --method exact"};
    const std::vector<int32_t> pattern =
        selection.empty() ? currentSubset(s)
                          : std::vector<int32_t>(selection.begin(), selection.end());
    const auto stored = storedSubsets(s);
    const std::vector<std::span<const int32_t>> patterns(stored.begin(), stored.end());
    if (readsPattern(procedure) && pattern.empty())
        throw BadInput{"tuples detection needs a pattern: give --subset"};
    if (readsPatterns(procedure) && stored.empty())
        throw BadInput{"tuples recognition needs patterns: give --subsets"};
    RestoringRequest request;
    request.alphabet = alphabet;
    request.etalons = r.list;
    request.pattern = pattern;
    request.patterns = patterns;
    request.tmin = r.tmin;
    request.tmax = r.tmax;
    request.processingLevel = r.processingLevel;
    request.proceeding = r.proceeding;
    request.chains = chains;
    request.series = &s;
    if (r.matchedFilter) {
        const std::string problem = matchedFilterBudgetProblem(request, r.budget);
        if (!problem.empty()) throw BadInput{problem};
        return runMatchedFilter(sink, procedure, request);
    }
    // Refused before it starts rather than killed halfway.
    const std::size_t need = restoringMemoryNeed(procedure, request);
    if (need > r.budget.bytes) {
        const BudgetFit fit = fitRestoring(procedure, request, need, r.budget.bytes);
        throw BadInput{budgetRefusal("Restoring the series", fit, r.budget)};
    }
    return runRestoringProcedure(sink, procedure, request);
}

// The series to process: read from the file, or made as `series` makes it.
// Reads the series to process from the file, or readies the session's record
// for patterns; returns the file's series, or null when series are made.
std::unique_ptr<SeriesHeader> prepareSeries(StderrSink& sink, SeriesSession& session,
                                            const SeriesOptions& options,
                                            const ProcessArguments& args, uint16_t processingTmin,
                                            bool& failed) {
    const auto subsets =
        args.subsets.empty() ? std::vector<std::vector<int32_t>>{} : parseSubsets(args.subsets);
    if (!args.input.empty()) {
        io::SeriesFile file;
        const std::string problem =
            io::readSeriesFile(args.input, session.pulseLength(), session.etalons(), file);
        if (!problem.empty()) throw BadInput{problem};
        auto read = io::seriesFromFile(sink, file, session.etalons(), processingTmin);
        failed = !read;
        if (!read) return nullptr;
        storeSubsets(sink, subsets, args.pick, options, *read);
        if (!options.subset.empty()) {
            setSelectedSubset(options.subset, options.employment, options.initPosition, read.get());
        }
        return read;
    }
    if (!subsets.empty()) {
        failed = !session.prepareRecord(options);
        if (!failed) storeSubsets(sink, subsets, args.pick, options, *session.series());
    }
    return nullptr;
}

// The held chains as the results table lists them.
std::vector<io::ResultChain> resultChains(const ChainsHeader& chains) {
    std::vector<io::ResultChain> rows;
    for (std::size_t c = 0; c < chains.wPretenders; ++c) {
        const auto n = static_cast<std::size_t>(
            std::clamp<int32_t>(chains.pulsesQuantity(c), 0, chains.wMaxPulses));
        rows.push_back({chains.distance(c), chains.pulsesList(c).first(n),
                        chains.positionsList(c).first(n), chains.cutStartsList(c).first(n),
                        chains.cutEndsList(c).first(n)});
    }
    return rows;
}

// How the results are printed; `recording` is the file the series came from.
struct Output {
    std::string format;
    const io::Recording* recording = nullptr;
    bool checkSums = false;  // etalons from a file, which may wrap the 32-bit sums
};

// Throws BadInput where the series and the working set could wrap the sums
// of chains of up to `pulses` pulses.
void checkSums(const SeriesSession& session, const Run& run, const SeriesHeader& series,
               uint16_t pulses) {
    const std::string problem = io::sumWrapProblem(
        series.noisyData(), io::listedEtalons(session.alphabet(), run.list), pulses);
    if (!problem.empty()) throw BadInput{problem};
}

// Restores one series and prints it as one line of JSON, or its chains as the
// results CSV; false after a report (a failed write included).
bool processAndPrint(StderrSink& sink, const SeriesSession& session, const Run& run,
                     std::span<const int32_t> selection, std::unique_ptr<ChainsHeader>& chains,
                     SeriesHeader& series, const Output& output, std::ostream& out,
                     std::ostream& err) {
    const uint16_t room = std::max(
        series.wMaxPulses,
        pulseCountBounds(series.dwSeriesSize, series.wImpulseSize, run.tmin, run.tmax).maxPulses);
    if (output.checkSums)
        checkSums(session, run, series,
                  isUnfixedPulseSeries(run.type) ? room : series.wImpulseQuantity);
    chains = getChainsHeader(sink, 10, room, std::move(chains));
    if (!chains) return false;
    const int reportsBefore = sink.reports();
    const int returned = restore(sink, session.alphabet(), run, selection, chains.get(), series);
    if (sink.reports() != reportsBefore) return false;
    addToChainsHeader(sink, run.type, run.effectiveTask, run.makingLevel, run.processingLevel,
                      chains.get());
    if (output.format == "csv") {
        io::ResultPlace place;
        if (output.recording) {
            place.first = output.recording->first;
            place.sampleRate = output.recording->sampleRate;
        }
        return writeOutput(out, err, io::resultsCsvText(resultChains(*chains), place));
    }
    nlohmann::ordered_json result;
    if (output.recording) result["recording"] = recordingToJson(*output.recording);
    result["series"] = processedSeriesToJson(series);
    result["chains"] = chainsToJson(*chains);
    result["returned"] = returned;
    return writeOutput(out, err, result.dump() + '\n');
}

}  // namespace

void addTaskOptions(CLI::App& command, ProcessArguments& args) {
    addChoice(command, "--task", args.task, "TASK",
              std::vector<std::string>{"detection", "recognition", "joint", "processing"},
              "detection, recognition, joint or processing");
    addWhole(command, "--etalon", args.etalon, "N", 1, kEtalonsNumber,
             "The etalon singled out for detection");
    addList(command, "--etalons", args.etalons, "LIST",
            "Working set, comma-separated (default: every etalon, 1..20 built in)",
            "all 20 etalons");
    addWhole(command, "--processing-level", args.processingLevel, "PERCENT", 0, 100,
             "Saved-energy level for processing (default: the making level)", false);
    addList(command, "--subsets", args.subsets, "LISTS",
            "Stored patterns for tuples recognition: \"3,5,7;2,4\"", "no stored patterns");
    addWhole(command, "--pick", args.pick, "K", 1, 65535,
             "Stored pattern made current (default: the last)", false);
    addWhole(command, "--proceeding", args.proceeding, "MODE", 1, 2,
             "1 complete, 2 probably shifted complete");
    CLI::Validator size(
        [](std::string& text) -> std::string {
            return parseMemorySize(text) ? ""
                                         : "'" + text + "' is no size like 512M, 2G or 1000000";
        },
        "");
    command
        .add_option("--memory-limit", args.memoryLimit,
                    std::string("Refuse work that needs more memory than this (512M, 2G, bytes); "
                                "default: what the kernel reports available, or ") +
                        kMemoryLimitVariable)
        ->type_name("SIZE")
        ->check(size);
}

MemoryBudget commandMemoryBudget(const ProcessArguments& args) {
    const auto limit = args.memoryLimit.empty() ? std::nullopt : parseMemorySize(args.memoryLimit);
    return memoryBudget(limit, "--memory-limit");
}

void addProcessOptions(CLI::App& command, ProcessArguments& args) {
    command.add_option("--input", args.input, "Process this series (JSON as `series` prints it)")
        ->type_name("FILE");
    addTaskOptions(command, args);
    addRecordingOptions(command, args.recording);
    addChoice(command, "--format", args.format, "FORMAT", std::vector<std::string>{"json", "csv"},
              "json (series, chains and returned value) or csv (one restored pulse a row)");
    addWhole(command, "--threads", args.threads, "N", 0, 1024,
             "With several --samples files: how many are restored at once (0: every core)");
    command.add_flag("--progress", args.progress,
                     "With --samples: a line on stderr at every tenth of a long recording's work");
    addChoice(command, "--method", args.method, "METHOD",
              std::vector<std::string>{"exact", "matched-filter"},
              "exact (the exact procedure) or matched-filter (greedy peak picking over the "
              "whole-pulse fits, a minimum spacing of Tmin; not for tuples)");
}

namespace {

// A recording's series type and length come from the file and the count.
void refuseMakingOptions(const CLI::App& command) {
    for (const char* name : {"--input", "--type", "--length", "--level", "--noise", "--sequence"}) {
        if (command.count(name) > 0)
            throw BadInput{std::string(name) +
                           ": --samples processes a recording; the recording, --pulses and "
                           "--processing-level set what this would"};
    }
}

int processRecording(const SeriesSession& session, const SeriesOptions& options,
                     const ProcessArguments& args, const CLI::App& command, std::ostream& out,
                     std::ostream& err) {
    refuseMakingOptions(command);
    const TaskCode task = taskCode(args.task);
    Run run{};
    run.processingLevel =
        args.processingLevel >= 0 ? static_cast<uint16_t>(args.processingLevel) : uint16_t{100};
    run.makingLevel = run.processingLevel;
    run.type = io::recordingSeriesType(options.pulses.has_value(), run.processingLevel);
    run.effectiveTask = effectiveTask(task, run.type);
    run.tmin = options.tmin;
    run.tmax = options.tmax;
    run.proceeding = args.proceeding;
    run.list = workingList(task, args, session.etalons());
    const unsigned threads =
        args.threads == 0 ? std::max(1u, std::thread::hardware_concurrency()) : args.threads;
    // Files restored at once share the budget.
    run.budget = shareOfBudget(
        commandMemoryBudget(args),
        std::min<std::size_t>(threads, std::max<std::size_t>(args.recording.files.size(), 1)));
    run.matchedFilter = args.method == "matched-filter";

    RecordingSettings settings;
    settings.count = options.recordingCount;
    settings.tmin = run.tmin;
    settings.tmax = run.tmax;
    settings.pulses = options.pulses;
    settings.processingLevel = run.processingLevel;
    settings.alphabet = session.alphabet();
    settings.list = run.list;
    // The unknown count of single pulses takes a recording of any length and
    // depth; where the series path cannot, it runs over the whole recording.
    // The matched filter, too, takes single pulses of an unknown count whole.
    const bool plain = !options.pulses && options.subset.empty() &&
                       !readsPattern(chooseRestoringProcedure(run.effectiveTask, run.type)) &&
                       !readsPatterns(chooseRestoringProcedure(run.effectiveTask, run.type));
    // A Tmax past what a series takes, or none, only the whole recording can have.
    const bool wideTmax = !options.recordingTmax || *options.recordingTmax > kLargestPosition;
    if (wideTmax && !plain)
        throw BadInput{"--tmax " +
                       (options.recordingTmax ? std::to_string(*options.recordingTmax) : "none") +
                       ": only the unknown count of single pulses takes a Tmax past 32767 or "
                       "none; leave out --pulses and --subset"};
    const std::vector<PulseHeader> fitted = io::listedEtalons(session.alphabet(), run.list);
    const OneRecording one = [&](const std::string& path, std::ostream& fileOut,
                                 std::ostream& fileErr) -> int {
        RecordingArguments file = args.recording;
        file.path = path;
        StderrSink fileSink(fileErr);
        io::Recording recording;
        readRecordingSpan(file, settings, recording);
        if (plain &&
            (wideTmax || io::seriesCannotHold(recording.samples, fitted, run.tmin, run.tmax))) {
            noteScaling(file, recording, fileErr);
            WholeRecordingRun whole;
            whole.task = run.effectiveTask == TaskCode::Recognition ? RecordingTask::Recognition
                                                                    : RecordingTask::Detection;
            whole.alphabet = session.alphabet();
            whole.list = run.list;
            whole.geometry = {run.tmin, options.recordingTmax};
            whole.processingLevel = run.processingLevel;
            whole.budget = run.budget;
            whole.format = args.format;
            whole.progress = args.progress;
            whole.matchedFilter = run.matchedFilter;
            return processWholeRecording(file, recording, whole, fileOut, fileErr);
        }
        auto series = recordingSeries(fileSink, file, settings, recording);
        if (!series) return kExitCoreFailed;
        noteScaling(file, recording, fileErr);
        std::unique_ptr<ChainsHeader> chains;
        return processAndPrint(fileSink, session, run, options.subset, chains, *series,
                               {args.format, &recording}, fileOut, fileErr)
                   ? 0
                   : kExitCoreFailed;
    };
    return processRecordingFiles(args.recording.files, threads, args.format, one, out, err);
}

}  // namespace

int runProcess(const SeriesOptions& options, const ProcessArguments& args, const CLI::App& command,
               std::ostream& out, std::ostream& err) {
    StderrSink sink(err);
    SeriesSession session(sink, options.sequence, options.alphabet);
    if (sink.reports() != 0) return kExitCoreFailed;
    try {
        if (!args.recording.files.empty())
            return processRecording(session, options, args, command, out, err);
        for (const char* name : {"--format-in", "--column", "--channel", "--scale", "--from"}) {
            if (command.count(name) > 0)
                throw BadInput{std::string(name) + " goes with --samples, which reads a recording"};
        }
        if (args.format == "csv" && options.count != 1)
            throw BadInput{"--format csv: one series at a time; leave --count out"};
        if (!args.input.empty() && options.count != 1)
            throw BadInput{"--count: a file holds one series; --count goes with made series"};
        Run run{};
        run.type = options.seriesType();
        const TaskCode task = taskCode(args.task);
        run.effectiveTask = effectiveTask(task, run.type);
        run.tmin = options.tmin;
        run.tmax = options.tmax;
        run.makingLevel = options.level;
        run.processingLevel =
            args.processingLevel >= 0 ? static_cast<uint16_t>(args.processingLevel) : options.level;
        run.proceeding = args.proceeding;
        run.list = workingList(task, args, session.etalons());
        run.budget = commandMemoryBudget(args);
        run.matchedFilter = args.method == "matched-filter";

        bool failed = false;
        auto read = prepareSeries(sink, session, options, args, run.tmin, failed);
        if (failed) return kExitCoreFailed;
        std::unique_ptr<ChainsHeader> chains;
        if (read) {
            // A file brings its own bounds unless others are asked for.
            if (command.count("--tmin") == 0) run.tmin = read->wTmin;
            if (command.count("--tmax") == 0) run.tmax = read->wTmax;
            return processAndPrint(sink, session, run, options.subset, chains, *read,
                                   {args.format, nullptr, !options.alphabet.empty()}, out, err)
                       ? 0
                       : kExitCoreFailed;
        }
        for (uint32_t i = 0; i < options.count; ++i) {
            if (!session.makeSeries(options)) return kExitCoreFailed;
            if (!processAndPrint(sink, session, run, options.subset, chains, *session.series(),
                                 {args.format, nullptr, !options.alphabet.empty()}, out, err))
                return kExitCoreFailed;
        }
        return 0;
    } catch (const BadInput& bad) {
        err << "etalon-cli: " << bad.text << '\n';
        return kExitBadInput;
    }
}

}  // namespace etalon::cli
