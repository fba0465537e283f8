#include "cli/simulate_command.h"

#include <oneapi/tbb/global_control.h>
#include <oneapi/tbb/task_arena.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <optional>
#include <stdexcept>

#include "cli/commands.h"
#include "cli/option_checks.h"
#include "cli/process_json.h"
#include "cli/simulate_run.h"
#include "cli/simulation_checkpoint.h"
#include "cli/standard_output.h"
#include "cli/stop_signals.h"
#include "cli/task_options.h"
#include "processing/matched_filter.h"
#include "processing/task_codes.h"
#include "series/series_generator.h"
#include "series/subsets.h"
#include "simulation/simulation_grid.h"
#include "simulation/simulation_table.h"
#include "simulation/stat_cutoff_varnel.h"

namespace etalon::cli {

namespace {

std::string isoTime(std::time_t t) {
    std::tm utc{};
    gmtime_r(&t, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

nlohmann::ordered_json nameOrNull(const char* name) {
    return name ? nlohmann::ordered_json(name) : nlohmann::ordered_json(nullptr);
}

nlohmann::ordered_json simulationToJson(const RestErrorHeader& r, const SimulationResult& run) {
    using Json = nlohmann::ordered_json;
    const auto rows = [&r](auto row) {
        Json table = Json::array();
        for (std::size_t v = 0; v < r.wNoiseLevels; ++v) {
            const auto cells = (r.*row)(v);
            table.push_back(Json(std::vector<uint32_t>(cells.begin(), cells.end())));
        }
        return table;
    };
    using Row = std::span<const uint32_t> (RestErrorHeader::*)(std::size_t) const;
    Json j;
    j["wVariousPulses"] = r.wVariousPulses;
    j["wNoiseLevels"] = r.wNoiseLevels;
    j["repeats"] = r.repeats;
    const auto pulses = r.wPulseValues();
    const auto noise = r.lpNoiseLevels();
    j["wPulseValues"] = std::vector<int16_t>(pulses.begin(), pulses.end());
    j["lpNoiseLevels"] = std::vector<int16_t>(noise.begin(), noise.end());
    j["lpErrors"] = rows(static_cast<Row>(&RestErrorHeader::lpErrors));
    j["lpDetectionErrors"] = rows(static_cast<Row>(&RestErrorHeader::lpDetectionErrors));
    j["lpRecognitionErrors"] = rows(static_cast<Row>(&RestErrorHeader::lpRecognitionErrors));
    j["wSeriesType"] = codeNumber(r.wSeriesType);
    j["wEffectiveTask"] = codeNumber(r.wEffectiveTask);
    j["lpTaskName"] = nameOrNull(r.lpTaskName);
    j["lpSeriesTypeName"] = nameOrNull(r.lpSeriesTypeName);
    j["wMakingLevel"] = r.wMakingLevel;
    j["wProcessingLevel"] = r.wProcessingLevel;
    j["ifComplete"] = r.ifComplete;
    j["startTime"] = isoTime(run.startTime);
    j["endTime"] = isoTime(run.endTime);
    return j;
}

using Json = nlohmann::ordered_json;

// A grid of V rows of P entries from values kept row-major.
template <class Value>
Json gridJson(const RestErrorHeader& r, std::span<const Value> cells) {
    Json table = Json::array();
    for (std::size_t v = 0; v < r.wNoiseLevels; ++v)
        table.push_back(Json(std::vector<Value>(cells.begin() + v * r.wVariousPulses,
                                                cells.begin() + (v + 1) * r.wVariousPulses)));
    return table;
}

// The matched filter's grid beside the exact one, with both methods' counts
// of true pulses restored at exactly their position.
Json baselineToJson(const RestErrorHeader& exact, const RestErrorHeader& baseline,
                    const SimulationResult& run) {
    Json j;
    j["method"] = "matched-filter";
    const Json grid = simulationToJson(baseline, run);
    for (const char* key : {"lpErrors", "lpDetectionErrors", "lpRecognitionErrors"})
        j[key] = grid[key];
    j["truePulses"] = gridJson<uint64_t>(exact, run.truePulses);
    j["exactPositions"] = {{"exact", gridJson<uint64_t>(exact, run.exactHits)},
                           {"matched-filter", gridJson<uint64_t>(exact, run.baselineHits)}};
    // null where a grid point had no pulses, as the CSV leaves its cell empty.
    const auto shares = [&](const std::vector<uint64_t>& hits) {
        std::vector<Json> share(hits.size());
        for (std::size_t i = 0; i < hits.size(); ++i) {
            if (run.truePulses[i] > 0) share[i] = double(hits[i]) / double(run.truePulses[i]);
        }
        return gridJson<Json>(exact, share);
    };
    j["exactPositionShare"] = {{"exact", shares(run.exactHits)},
                               {"matched-filter", shares(run.baselineHits)}};
    return j;
}

// The grid options against the geometry, with the geometry's least and most
// pulse counts where none were given; throws BadInput naming the option.
SimulationGrid checkedGrid(const SimulateArguments& a, const PulseCountBounds& bounds) {
    const PulseCountRange range = simulationPulseRange(bounds);
    const int32_t from = a.pulsesFrom > 0 ? a.pulsesFrom : range.least;
    const int32_t to = a.pulsesTo > 0 ? a.pulsesTo : range.most;
    // The geometry itself was checked with the options: some count fits.
    const GridCheck check =
        checkSimulationGrid(from, to, a.noiseFrom, a.noiseSteps, a.noiseStep, range);
    const std::string value = std::to_string(check.value), bound = std::to_string(check.bound);
    switch (check.fault) {
        case GridFault::None:
            break;
        case GridFault::PulsesFromBelowLeast:
            throw BadInput{"--pulses-from: " + value + " is below " + bound +
                           ", the fewest pulses the geometry holds"};
        case GridFault::PulsesToAboveMost:
            throw BadInput{"--pulses-to: " + value + " is above " + bound +
                           ", the most pulses the geometry holds"};
        case GridFault::PulsesFromAboveTo:
            throw BadInput{"--pulses-from: " + value + " is above the largest count " + bound};
        case GridFault::LastNoiseAboveCeiling:
            throw BadInput{"--noise-steps: the last noise level " + value + " is above " + bound +
                           " (more could overflow the 16-bit samples)"};
    }
    return {static_cast<uint16_t>(from),         static_cast<uint16_t>(to),
            static_cast<uint16_t>(a.pulsesStep), static_cast<uint16_t>(a.noiseFrom),
            static_cast<uint16_t>(a.noiseSteps), static_cast<uint16_t>(a.noiseStep),
            static_cast<uint32_t>(a.repeats)};
}

}  // namespace

void addSimulateOptions(CLI::App& command, SimulateArguments& args) {
    addWhole(command, "--pulses-from", args.pulsesFrom, "Q", 1, 32767,
             "Smallest pulse count of the grid (default: the geometry's smallest, at least 1)",
             false);
    addWhole(command, "--pulses-to", args.pulsesTo, "Q", 1, 32767,
             "Largest pulse count of the grid (default: the geometry's largest)", false);
    addWhole(command, "--pulses-step", args.pulsesStep, "K", 1, 65535, "Step between pulse counts");
    addWhole(command, "--noise-from", args.noiseFrom, "SIGMA", 0, kLargestNoiseLevel,
             "First noise level");
    addWhole(command, "--noise-steps", args.noiseSteps, "K", 1, 65535, "Number of noise levels");
    addWhole(command, "--noise-step", args.noiseStep, "SIGMA", 0, kLargestNoiseLevel,
             "Step between noise levels");
    addWhole(command, "--repeats", args.repeats, "R", 1, 65535, "Series per grid point");
    addWhole(command, "--threads", args.threads, "N", 0, 1024,
             "Worker threads (0: every core; the result does not depend on it)");
    addChoice(command, "--format", args.format, "FORMAT", std::vector<std::string>{"json", "csv"},
              "json (the error record and the last series) or csv (one row per grid point)");
    command.add_flag("--progress", args.progress, "A progress line on stderr");
    command.add_flag("--baseline", args.baseline,
                     "Restore every series with the matched filter too and print its errors and "
                     "both methods' exact-position shares beside the exact ones");
    command
        .add_option("--checkpoint", args.checkpoint,
                    "Save the sums and the position now and then to FILE, so that --resume "
                    "can continue the run after a stop")
        ->type_name("FILE");
    command
        .add_option("--resume", args.resume,
                    "Continue the run saved in FILE by --checkpoint (same options) to the "
                    "result of an uninterrupted run")
        ->type_name("FILE");
    addWhole(command, "--checkpoint-seconds", args.checkpointSeconds, "S", 0, 86400,
             "Least time between two saves of --checkpoint");
}

void armTestFailure(SimulationOptions& options, uint32_t rank) {
    const char* spec = std::getenv("ETALON_TEST_FAIL_RANK");
    unsigned failing = 0, at = 0;
    if (!spec || std::sscanf(spec, "%u:%u", &failing, &at) != 2 || failing != rank) return;
    options.progress = [inner = std::move(options.progress), at](uint32_t done) {
        if (done >= at)
            throw std::runtime_error("failure injected at series " + std::to_string(at));
        if (inner) inner(done);
    };
}

int simulateOnce(const SeriesOptions& options, const ProcessArguments& task,
                 const SimulateArguments& args, RunHooks& hooks, StderrSink& sink,
                 std::ostream& err, SimulateProduct& product) {
    SeriesSession session(sink, {}, options.alphabet);
    if (sink.reports() != 0) return kExitCoreFailed;
    try {
        const PulseCountBounds bounds =
            pulseCountBounds(options.length, session.pulseLength(), options.tmin, options.tmax);
        const SimulationGrid grid = checkedGrid(args, bounds);
        const TaskCode taskType = taskCode(task.task);
        const std::vector<uint16_t> list = workingList(taskType, task, session.etalons());

        if (!session.prepareRecord(options)) return kExitCoreFailed;
        SeriesHeader& series = *session.series();
        if (!task.subsets.empty())
            storeSubsets(sink, parseSubsets(task.subsets), task.pick, options, series);
        if (!options.subset.empty())
            setSelectedSubset(options.subset, options.employment, options.initPosition, &series);

        auto errors = makeErrorGrid(sink, grid);
        if (!errors) return kExitCoreFailed;

        SimulationRun run;
        run.alphabet = session.alphabet();
        run.etalonsNumber = session.etalons();
        run.requiredList = list;
        run.seriesType = options.seriesType();
        run.effectiveTask = effectiveTask(taskType, options.seriesType());
        run.makingLevel = options.level;
        run.processingLevel =
            task.processingLevel >= 0 ? static_cast<uint16_t>(task.processingLevel) : options.level;
        run.subsetProceeding = task.proceeding;
        if (args.baseline && !baselineApplies(run)) {
            throw BadInput{"--baseline: the matched filter restores single pulses only; task " +
                           task.task + " has no baseline"};
        }
        product.total = simulationSeriesCount(*errors);
        product.identity = runIdentity({run, series, args.baseline, session.streams(), *errors});
        SimulationOptions& how = hooks.options;
        if (hooks.resume) {
            checkResumable(*hooks.resume, product.identity, args.resume);
            how.resumeFrom = hooks.resume->position;
            if (hooks.takeResumeSums) how.resumeSums = hooks.resume->sums;
        }
        // The command owns its process: an explicit count is honoured even
        // beyond the cores, and 0 leaves the run every core.
        std::optional<tbb::global_control> pool;
        if (args.threads > 0)
            pool.emplace(tbb::global_control::max_allowed_parallelism, std::size_t{args.threads});
        tbb::task_arena arena(args.threads > 0 ? static_cast<int>(args.threads)
                                               : tbb::task_arena::automatic);
        const MemoryBudget budget = shareOfBudget(commandMemoryBudget(task), hooks.ranksOnMachine);
        how.arena = &arena;
        how.memoryBudget = &budget;
        armTestFailure(how, hooks.rank);
        // A few hundred snapshots a run at most: each copies the sums.
        if (how.snapshot) how.snapshotEvery = std::max<uint32_t>(1, product.total / 200);
        SimulationRecords records{errors.get(), &series, &session.streams(),
                                  args.baseline ? &product.baseline : nullptr};
        product.result = statCutoffVarnel(sink, run, records, how);
        if (product.result.outcome == SimulationOutcome::Refused) return kExitBadInput;
        if (!product.result.completed()) return kExitCoreFailed;
        product.errors = std::move(*errors);
        product.seriesJson = processedSeriesToJson(series).dump();
        return 0;
    } catch (const BadInput& bad) {
        err << "etalon-cli: " << bad.text << '\n';
        return kExitBadInput;
    }
}

std::string simulateOutputText(const SimulateArguments& args, const SimulateProduct& product) {
    const SimulationResult& result = product.result;
    if (args.format == "csv" && args.baseline) {
        return simulationComparisonCsv(product.errors, product.baseline,
                                       {result.truePulses, result.exactHits, result.baselineHits});
    }
    if (args.format == "csv") return simulationTableCsv(product.errors);
    // Built as text so that the series restored by another process fits in as it came.
    nlohmann::ordered_json j;
    j["simulation"] = simulationToJson(product.errors, result);
    if (args.baseline) j["baseline"] = baselineToJson(product.errors, product.baseline, result);
    std::string text = j.dump();
    text.pop_back();
    return text + ",\"series\":" + product.seriesJson + "}\n";
}

int runSimulate(const SeriesOptions& options, const ProcessArguments& task,
                const SimulateArguments& args, std::ostream& out, std::ostream& err,
                bool terminal) {
#ifdef ETALON_WITH_MPI
    if (launchedOnRanks()) return runSimulateOnRanks(options, task, args, out, err, terminal);
#endif
    StderrSink sink(err);
    RunHooks hooks;
    std::optional<SimulationCheckpoint> resumed;
    if (!args.resume.empty()) {
        try {
            resumed = loadCheckpoint(args.resume);
        } catch (const BadInput& bad) {
            err << "etalon-cli: " << bad.text << '\n';
            return kExitBadInput;
        }
        hooks.resume = &*resumed;
    }
    SimulateProduct product;
    std::atomic<bool> stop{false};
    hooks.options.cancel = &stop;
    ProgressLine progress(err, terminal, 0);
    const uint32_t skipped = resumed ? resumed->position : 0;
    if (args.progress) {
        hooks.options.progress = [&](uint32_t done) {
            progress.setTotal(product.total);
            progress(skipped + done);
        };
    }
    CheckpointWriter saver(args, product.identity, err);
    std::optional<StopSignals> signals;
    if (saver.active()) {
        hooks.options.snapshot = [&](uint32_t position, const std::vector<int64_t>& sums) {
            if (saver.offer(position, sums) && saver.stopRequested()) stop = true;
        };
        signals.emplace(&stop);
    }
    const int code = simulateOnce(options, task, args, hooks, sink, err, product);
    if (code != 0) {
        const SimulationResult& result = product.result;
        if (result.outcome == SimulationOutcome::Cancelled && saver.active()) {
            // Everything accumulated in order before the stop is kept.
            saver.save(result.stoppedAt, result.stoppedSums);
            const int signal = StopSignals::received();
            saver.sayStopped(signal);
            if (signal) return 128 + signal;
        }
        return code;
    }
    // Reports of single series are collapsed as the window collapses them.
    // Their cells hold series that were not made or not restored, so the
    // grid is not printed: it would read as a complete result.
    if (showSeriesReports(sink, product.result)) return kExitCoreFailed;
    return writeOutput(out, err, simulateOutputText(args, product)) ? 0 : kExitWriteFailed;
}

}  // namespace etalon::cli
