#include "cli/commands.h"

#include <CLI/CLI.hpp>
#include <iostream>
#include <sstream>

#include "cli/json_output.h"
#include "cli/number_list.h"
#include "cli/process_command.h"
#include "cli/series_session.h"

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
    int32_t pulses = -1;
};

void addSeriesOptions(CLI::App& command, SeriesArguments& args) {
    SeriesOptions& o = args.options;
    command.add_option("--type", o.type, "Series type: 1, 2, 4, 8, 16, 32, 36 or 40")
        ->check(CLI::IsMember({1, 2, 4, 8, 16, 32, 36, 40}))
        ->capture_default_str();
    command.add_option("--length", o.length, "Series length in samples")
        ->check(CLI::Range(1u, 1000000u))
        ->capture_default_str();
    command.add_option("--tmin", o.tmin, "Least distance between pulse starts")
        ->check(CLI::Range(1, 65535))
        ->capture_default_str();
    command.add_option("--tmax", o.tmax, "Largest distance between pulse starts")
        ->check(CLI::Range(1, 65535))
        ->capture_default_str();
    command
        .add_option("--pulses", args.pulses,
                    "Pulse count (fixed types; default: middle of the count bounds)")
        ->check(CLI::Range(0, 65535));
    command.add_option("--level", o.level, "Saved-energy level for making, percent")
        ->check(CLI::Range(0, 100))
        ->capture_default_str();
    command.add_option("--noise", o.noise, "Noise sigma; 0 adds no noise")
        ->check(CLI::Range(0, 32767))
        ->capture_default_str();
    command.add_option("--sequence", args.sequence,
                       "Etalon of each pulse, comma-separated (padded with 1)");
    command.add_option("--subset", args.subset, "Etalons made the current subset, comma-separated");
    command
        .add_option("--employment", o.employment,
                    "Subset placement: 1 single random, 2 single fixed, 3 multiple random, "
                    "4 complete, 5 shifted complete")
        ->check(CLI::Range(1, 5))
        ->capture_default_str();
    command.add_option("--init-position", o.initPosition, "Pulse at which subset placement starts")
        ->check(CLI::Range(1, 65535))
        ->capture_default_str();
    command.add_option("--count", o.count, "Series made one after another")
        ->check(CLI::Range(1u, 100000u))
        ->capture_default_str();
}

// Turns the text options into the option record; throws CLI::ValidationError.
void finishSeriesOptions(SeriesArguments& args) {
    SeriesOptions& o = args.options;
    if (args.pulses >= 0) o.pulses = static_cast<uint16_t>(args.pulses);
    if (!args.sequence.empty()) {
        for (int64_t v : parseList(args.sequence, "--sequence", 0, 65535)) {
            o.sequence.push_back(static_cast<uint16_t>(v));
        }
    }
    if (!args.subset.empty()) {
        for (int64_t v : parseList(args.subset, "--subset", 1, 20)) {
            o.subset.push_back(static_cast<int32_t>(v));
        }
    }
}

int runSeries(const SeriesOptions& options, std::ostream& out, std::ostream& err) {
    StderrSink sink(err);
    SeriesSession session(sink, options.sequence);
    if (sink.reports() != 0) return kExitRefused;
    nlohmann::ordered_json series = nlohmann::ordered_json::array();
    for (uint32_t i = 0; i < options.count; ++i) {
        if (!session.makeSeries(options)) return kExitRefused;
        series.push_back(seriesToJson(*session.series()));
    }
    out << nlohmann::ordered_json{{"series", series}}.dump() << '\n';
    return 0;
}

int runAlphabet(std::ostream& out, std::ostream& err) {
    StderrSink sink(err);
    SeriesSession session(sink, {});
    if (sink.reports() != 0) return kExitRefused;
    out << alphabetToJson(session.alphabet()).dump() << '\n';
    return 0;
}

}  // namespace

int run(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    CLI::App app{"Etalon Workbench on the command line: the etalon alphabet and series as JSON",
                 "etalon-cli"};
    app.require_subcommand(1);
    CLI::App* alphabet = app.add_subcommand("alphabet", "Print the 20 etalons");
    CLI::App* series = app.add_subcommand("series", "Make series as the workbench does");
    SeriesArguments seriesArgs;
    addSeriesOptions(*series, seriesArgs);
    CLI::App* process = app.add_subcommand(
        "process", "Make or read one series and restore it as the workbench does");
    SeriesArguments processSeries;
    addSeriesOptions(*process, processSeries);
    ProcessArguments processArgs;
    addProcessOptions(*process, processArgs);

    try {
        app.parse(argc, argv);
        if (*series) finishSeriesOptions(seriesArgs);
        if (*process) finishSeriesOptions(processSeries);
    } catch (const CLI::Success& e) {  // --help of the program or of a subcommand
        return app.exit(e, out, err);
    } catch (const CLI::ParseError& e) {
        err << "etalon-cli: " << e.what() << '\n';
        return kExitBadInput;
    }

    if (*alphabet) return runAlphabet(out, err);
    if (*process) return runProcess(processSeries.options, processArgs, *process, out, err);
    return runSeries(seriesArgs.options, out, err);
}

}  // namespace etalon::cli
