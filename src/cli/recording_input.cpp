#include "cli/recording_input.h"

#include <cstdio>
#include <vector>

#include "cli/task_options.h"
#include "io/recording_series.h"
#include "io/sum_range.h"

namespace etalon::cli {

void addRecordingOptions(CLI::App& command, RecordingArguments& args) {
    command
        .add_option("--samples", args.files,
                    "Process this recording: CSV (one value a line, or a column of a table), "
                    "WAV, or a series JSON (its lpNoisyData); several files are restored each "
                    "on its own (--threads at once), a file column naming them")
        ->type_name("FILE")
        ->expected(1, -1);
    command
        .add_option("--format-in", args.formatIn,
                    "csv, wav or json, where the ending of --samples does not say")
        ->type_name("FORMAT")
        ->check(CLI::IsMember({"csv", "wav", "json"}).description(""));
    command.add_option("--column", args.column, "CSV column: its number (from 1) or header name")
        ->type_name("COLUMN");
    command.add_option("--channel", args.channel, "WAV channel, from 1")
        ->type_name("N")
        ->check(CLI::Range(1u, 65535u).description(""));
    command
        .add_option("--scale", args.scale,
                    "Factor for samples that are not integers within +-32767 (default: the one "
                    "putting the largest magnitude at 128); given, it scales every sample")
        ->type_name("FACTOR")
        ->check(CLI::PositiveNumber.description(""));
    command.add_option("--from", args.from, "First sample of the span, counted from 0")
        ->type_name("N");
}

void readRecordingSpan(const RecordingArguments& args, const RecordingSettings& settings,
                       io::Recording& recording) {
    io::RecordingRequest request;
    request.path = args.path;
    const auto format = args.formatIn.empty() ? io::recordingFormatOfPath(args.path)
                                              : io::recordingFormatNamed(args.formatIn);
    if (!format)
        throw BadInput{"--samples: " + args.path +
                       ": the ending does not say the format; give --format-in csv, wav or json"};
    request.format = *format;
    request.column = args.column;
    request.channel = args.channel;
    if (args.scale > 0) request.scale = args.scale;
    request.first = args.from;
    request.count = settings.count;
    request.anyLength = true;
    if (std::string problem = io::readRecording(request, recording); !problem.empty())
        throw BadInput{problem};
}

std::unique_ptr<SeriesHeader> recordingSeries(StderrSink& sink, const RecordingArguments& args,
                                              const RecordingSettings& settings,
                                              const io::Recording& recording) {
    if (recording.samples.size() > io::kMostRecordingSamples) {
        throw BadInput{args.path + ": " + std::to_string(recording.samples.size()) +
                       " samples, and a known count (--pulses) or tuples take at most 32,767 "
                       "(positions are 16-bit): choose a span with --from and --count; the "
                       "unknown count works at any length"};
    }
    const std::vector<PulseHeader> fitted = io::listedEtalons(settings.alphabet, settings.list);
    io::RecordingProcessing how;
    how.tmin = settings.tmin;
    how.tmax = settings.tmax;
    how.pulses = settings.pulses;
    how.processingLevel = settings.processingLevel;
    how.alphabet = settings.alphabet;
    how.fitted = fitted;
    io::RecordingRefusal refusal;
    auto series = io::seriesFromRecording(sink, recording.samples, how, refusal);
    if (refusal.refused()) throw BadInput{args.path + ": " + refusal.text};
    return series;
}

void noteScaling(const RecordingArguments& args, const io::Recording& recording,
                 std::ostream& err) {
    if (!recording.scaled) return;
    char factor[32];
    std::snprintf(factor, sizeof factor, "%.6g", recording.scale);
    err << "etalon-cli: " << args.path << ": samples scaled by " << factor << " to 16 bits\n";
}

}  // namespace etalon::cli
