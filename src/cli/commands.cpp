#include "cli/commands.h"

#include <unistd.h>
#include <CLI/CLI.hpp>
#include <charconv>
#include <iostream>
#include <sstream>

#include "cli/json_output.h"
#include "cli/number_list.h"
#include "cli/option_checks.h"
#include "cli/process_command.h"
#include "cli/series_session.h"
#include "cli/simulate_command.h"
#include "cli/standard_output.h"
#include "io/alphabet_file.h"
#include "io/geometry_text.h"
#include "series/series_codes.h"
#include "series/series_generator.h"

namespace etalon::cli {

namespace {

// Parses "3,5,7" into numbers within [low, high]; throws CLI::ValidationError.
std::vector<int64_t> parseList(const std::string& text, const std::string& option, int64_t low,
                               int64_t high) {
    std::vector<int64_t> values;
    for (const std::string& item : splitItems(text, ',')) {
        int64_t value = 0;
        if (!parseWhole(item, value)) {
            throw CLI::ValidationError(option, "'" + item + "' is not a whole number");
        }
        if (value < low || value > high) {
            throw CLI::ValidationError(option, std::to_string(value) + " is outside " +
                                                   std::to_string(low) + ".." +
                                                   std::to_string(high));
        }
        values.push_back(value);
    }
    return values;
}

struct SeriesArguments {
    SeriesOptions options;
    std::string sequence;
    std::string subset;
    std::string alphabet;      // an alphabet file
    int32_t pulses = 0;        // 0: not given
    std::string tmax = "181";  // a whole number, or "none" for a recording
    uint64_t count = 1;        // series made, or with --samples the span's samples
};

void addAlphabetOption(CLI::App& command, std::string& path) {
    command
        .add_option("--alphabet", path,
                    "Etalons from this file (JSON or CSV, one etalon a row) instead of the "
                    "built-in 20; they set the etalon count and length")
        ->type_name("FILE");
}

// What every subcommand that makes series takes: type, geometry, level, subset.
void addGeometryOptions(CLI::App& command, SeriesArguments& args) {
    SeriesOptions& o = args.options;
    addAlphabetOption(command, args.alphabet);
    addChoice(command, "--type", o.type, "TYPE", std::vector<int>{1, 2, 4, 8, 16, 32, 36, 40},
              "Series type: 1, 2, 4, 8, 16, 32, 36 or 40");
    addWhole(command, "--length", o.length, "N", 1, kLargestPosition,
             "Series length in samples (positions are 16-bit)");
    addWhole(command, "--tmin", o.tmin, "N", 1, kLargestPosition,
             "Least distance between pulse starts");
    CLI::Validator tmax(
        [](std::string& text) -> std::string {
            int64_t number = 0;
            if (text == "none" || (parseWhole(text, number) && number >= 1)) return {};
            return "'" + text + "' is neither a whole number from 1 nor none";
        },
        "");
    command
        .add_option("--tmax", args.tmax,
                    "Largest distance between pulse starts; 1..32767, and for a recording "
                    "(--samples) any length or none (no upper bound and no edge conditions)")
        ->type_name("N")
        ->check(tmax)
        ->capture_default_str();
    addWhole(command, "--level", o.level, "PERCENT", 0, 100, "Saved-energy level for making");
    addList(command, "--subset", args.subset, "LIST",
            "Etalons made the current subset, comma-separated", "no subset");
    addWhole(command, "--employment", o.employment, "MODE", 1, 5,
             "Subset placement: 1 single random, 2 single fixed, 3 multiple random, "
             "4 complete, 5 shifted complete");
    addWhole(command, "--init-position", o.initPosition, "PULSE", 1, 65535,
             "Pulse at which subset placement starts");
}

constexpr int64_t kMostSeriesMade = 100000;

void addSeriesOptions(CLI::App& command, SeriesArguments& args) {
    SeriesOptions& o = args.options;
    addGeometryOptions(command, args);
    addWhole(command, "--pulses", args.pulses, "Q", 1, kLargestPosition,
             "Pulse count of the fixed types, within the counts the geometry allows "
             "(default: the middle of them)",
             false);
    addWhole(command, "--noise", o.noise, "SIGMA", 0, kLargestNoiseLevel,
             "Noise sigma, 0 adds none (larger ones could overflow the 16-bit samples)");
    addList(command, "--sequence", args.sequence, "LIST",
            "Etalon of each pulse, comma-separated (padded with 1)", "etalon 1 at every pulse");
    addWhole(command, "--count", args.count, "K", 1, kMostSeriesMade,
             "Series made one after another");
}

// Settings the generator would refuse for every series are refused before any
// work, in one line naming the options. Throws CLI::ValidationError.
void checkGeometry(const SeriesOptions& o, const CLI::App& command) {
    const auto named = [&command](const std::string& name, int64_t value) {
        return name + " " + std::to_string(value) + (command.count(name) == 0 ? " (default)" : "");
    };
    const std::string why = io::geometryFaultText(
        o.length, o.pulseLength(), o.tmin, o.tmax,
        {named("--length", o.length), named("--tmin", o.tmin), named("--tmax", o.tmax)});
    if (!why.empty()) throw CLI::ValidationError(why + ": no series can be made");
}

// Loads --alphabet; throws CLI::ValidationError naming the file and the row.
std::vector<PulseHeader> loadAlphabet(const std::string& path,
                                      io::EtalonDepth depth = io::EtalonDepth::Series) {
    std::vector<PulseHeader> alphabet;
    if (path.empty()) return alphabet;
    const std::string problem =
        io::readAlphabetFile(path, io::guessAlphabetFormat(path), alphabet, depth);
    if (!problem.empty()) throw CLI::ValidationError("--alphabet", problem);
    return alphabet;
}

// Turns the text options into the option record; throws CLI::ValidationError.
// `makesSeries`: the geometry makes series (not only bounds a read one's processing).
// `recording`: a recording is processed, whose own length bounds the count.
void finishSeriesOptions(SeriesArguments& args, const CLI::App& command, bool makesSeries,
                         bool recording = false) {
    SeriesOptions& o = args.options;
    // A recording's whole path sums in 64 bits: its etalons may have any energy.
    o.alphabet = loadAlphabet(args.alphabet,
                              recording ? io::EtalonDepth::Recording : io::EtalonDepth::Series);
    int64_t tmax = 0;
    if (args.tmax == "none") {
        if (!recording)
            throw CLI::ValidationError("--tmax", "none goes with --samples: a series has a Tmax");
        o.recordingTmax.reset();
    } else if (parseWhole(args.tmax, tmax)) {
        if (tmax > kLargestPosition && !recording)
            throw CLI::ValidationError("--tmax", args.tmax + " is outside 1..32767");
        o.tmax = static_cast<uint16_t>(std::min<int64_t>(tmax, kLargestPosition));
        o.recordingTmax = tmax;
    }
    if (makesSeries) checkGeometry(o, command);
    if (recording && command.count("--count") > 0) {
        o.recordingCount = args.count;
    } else if (args.count > static_cast<uint64_t>(kMostSeriesMade)) {
        throw CLI::ValidationError("--count", std::to_string(args.count) + " is outside 1.." +
                                                  std::to_string(kMostSeriesMade) +
                                                  " (series made one after another)");
    }
    o.count = static_cast<uint32_t>(std::min<uint64_t>(args.count, kMostSeriesMade));
    if (args.pulses > 0 && recording) {
        o.pulses = static_cast<uint16_t>(args.pulses);
    } else if (args.pulses > 0) {
        // The generator refuses a fixed count outside the bounds; say why here.
        const PulseCountBounds bounds = pulseCountBounds(o.length, o.pulseLength(), o.tmin, o.tmax);
        const int64_t least = std::max<int64_t>(bounds.minPulses, 1);
        if (!isUnfixedSeries(o.seriesType()) && bounds.maxPulses >= least &&
            (args.pulses < least || args.pulses > bounds.maxPulses)) {
            throw CLI::ValidationError(
                "--pulses", std::to_string(args.pulses) + " is outside " + std::to_string(least) +
                                ".." + std::to_string(bounds.maxPulses) +
                                ", the counts a series of " + std::to_string(o.length) +
                                " samples with Tmin " + std::to_string(o.tmin) + " and Tmax " +
                                std::to_string(o.tmax) + " can hold");
        }
        o.pulses = static_cast<uint16_t>(args.pulses);
    }
    if (!args.sequence.empty()) {
        for (int64_t v : parseList(args.sequence, "--sequence", 0, 65535)) {
            o.sequence.push_back(static_cast<uint16_t>(v));
        }
    }
    if (!args.subset.empty()) {
        for (int64_t v : parseList(args.subset, "--subset", 1, o.etalons())) {
            o.subset.push_back(static_cast<int32_t>(v));
        }
    }
}

int runSeries(const SeriesOptions& options, std::ostream& out, std::ostream& err) {
    StderrSink sink(err);
    SeriesSession session(sink, options.sequence, options.alphabet);
    if (sink.reports() != 0) return kExitCoreFailed;
    nlohmann::ordered_json series = nlohmann::ordered_json::array();
    for (uint32_t i = 0; i < options.count; ++i) {
        if (!session.makeSeries(options)) return kExitCoreFailed;
        series.push_back(seriesToJson(*session.series()));
    }
    const std::string text = nlohmann::ordered_json{{"series", series}}.dump() + '\n';
    return writeOutput(out, err, text) ? 0 : kExitWriteFailed;
}

// The alphabet in the alphabet file's JSON or CSV form.
int runAlphabet(const std::vector<PulseHeader>& loaded, const std::string& format,
                std::ostream& out, std::ostream& err) {
    StderrSink sink(err);
    SeriesSession session(sink, {}, loaded);
    if (sink.reports() != 0) return kExitCoreFailed;
    const std::string text = format == "csv" ? io::alphabetCsvText(session.alphabet())
                                             : alphabetToJson(session.alphabet()).dump() + '\n';
    return writeOutput(out, err, text) ? 0 : kExitWriteFailed;
}

}  // namespace

int run(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    CLI::App app{"Etalon Workbench on the command line: the etalon alphabet and series as JSON",
                 "etalon-cli"};
    app.require_subcommand(1);
    app.set_version_flag("--version", "etalon-cli " ETALON_VERSION, "Print the version and exit");
    CLI::App* alphabet = app.add_subcommand(
        "alphabet", "Print the etalons: the built-in 20, or those of an alphabet file");
    std::string alphabetFormat = "json", alphabetFile;
    addChoice(*alphabet, "--format", alphabetFormat, "FORMAT",
              std::vector<std::string>{"json", "csv"},
              "json or csv (one etalon a row), the forms --alphabet reads");
    addAlphabetOption(*alphabet, alphabetFile);
    alphabet->get_option("--alphabet")->description("Print the etalons of this file instead");
    CLI::App* series = app.add_subcommand("series", "Make series as the workbench does");
    SeriesArguments seriesArgs;
    addSeriesOptions(*series, seriesArgs);
    CLI::App* process = app.add_subcommand(
        "process", "Make or read one series and restore it as the workbench does");
    SeriesArguments processSeries;
    addSeriesOptions(*process, processSeries);
    ProcessArguments processArgs;
    addProcessOptions(*process, processArgs);
    process->get_option("--pulses")
        ->description(
            "Pulse count of the fixed types, within the counts the geometry allows (default: the "
            "middle of them). With --samples: the known count; leave it out for an unknown one");
    // With --samples the count is a span of any length: the made series'
    // bound is checked once the parse knows which it is.
    process->remove_option(process->get_option("--count"));
    CLI::Validator positive(
        [](std::string& text) -> std::string {
            uint64_t number = 0;
            const auto [end, error] =
                std::from_chars(text.data(), text.data() + text.size(), number);
            if (error != std::errc{} || end != text.data() + text.size() || number == 0)
                return "'" + text + "' is not a whole number from 1";
            return {};
        },
        "");
    process
        ->add_option("--count", processSeries.count,
                     "Series made one after another, each restored and printed as one line of "
                     "JSON (JSON Lines); 1..100000. With --samples: the samples of the span, any "
                     "number")
        ->type_name("K")
        ->check(positive)
        ->capture_default_str();

    CLI::App* simulate = app.add_subcommand(
        "simulate", "Run the statistical simulation over a grid of pulse counts and noise levels");
    SeriesArguments simulateSeries;
    addGeometryOptions(*simulate, simulateSeries);
    ProcessArguments simulateTask;
    addTaskOptions(*simulate, simulateTask);
    SimulateArguments simulateArgs;
    addSimulateOptions(*simulate, simulateArgs);
    // The grid and the driver set these; say so rather than "not expected".
    std::string ignored;
    for (const char* name : {"--noise", "--pulses", "--count", "--sequence", "--input"})
        simulate->add_option(name, ignored)->group("");

    try {
        app.parse(argc, argv);
        if (*series) finishSeriesOptions(seriesArgs, *series, true);
        const bool recording = !processArgs.recording.files.empty();
        if (*process)
            finishSeriesOptions(processSeries, *process, processArgs.input.empty() && !recording,
                                recording);
        if (*simulate) {
            for (const char* name : {"--noise", "--pulses", "--count", "--sequence", "--input"}) {
                if (simulate->count(name) > 0)
                    throw CLI::ValidationError(name,
                                               "simulate does not take it: the grid and the "
                                               "simulation set it");
            }
            finishSeriesOptions(simulateSeries, *simulate, true);
        }
    } catch (const CLI::Success& e) {  // --help of the program or of a subcommand, --version
        std::ostringstream help;
        const int code = app.exit(e, help, err);
        return writeOutput(out, err, help.str()) ? code : kExitWriteFailed;
    } catch (const CLI::ParseError& e) {
        // Without a subcommand the parser stops at the missing one; words it
        // did not take are the likelier mistake, so they are named first.
        const bool noSubcommand = app.get_subcommands().empty();
        if (!noSubcommand || !app.remaining().empty()) {
            err << "etalon-cli: "
                << (noSubcommand ? CLI::ExtrasError(app.remaining()).what() : e.what()) << '\n';
            return kExitBadInput;
        }
        err << "etalon-cli: a subcommand is required\n"
            << "Usage: etalon-cli SUBCOMMAND [OPTIONS]   (etalon-cli SUBCOMMAND --help for its "
               "options)\n"
            << "Subcommands:\n";
        for (const CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; }))
            err << "  " << sub->get_name() << std::string(10 - sub->get_name().size(), ' ')
                << sub->get_description() << '\n';
        return kExitBadInput;
    }
    if (*alphabet) {
        std::vector<PulseHeader> loaded;
        try {
            loaded = loadAlphabet(alphabetFile);
        } catch (const CLI::ValidationError& e) {
            err << "etalon-cli: " << e.what() << '\n';
            return kExitBadInput;
        }
        return runAlphabet(loaded, alphabetFormat, out, err);
    }
    if (*simulate) {
        const bool terminal = &err == &std::cerr && isatty(STDERR_FILENO);
        return runSimulate(simulateSeries.options, simulateTask, simulateArgs, out, err, terminal);
    }
    if (*process) return runProcess(processSeries.options, processArgs, *process, out, err);
    return runSeries(seriesArgs.options, out, err);
}

}  // namespace etalon::cli
