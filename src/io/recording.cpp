#include "io/recording.h"

#include <charconv>

#include "io/file_ending.h"
#include "io/recording_readers.h"
#include "io/recording_span.h"
#include "io/text_lines.h"

namespace etalon::io {

namespace {

// The column's index in `fields`, from its number or its name in the header.
struct ColumnChoice {
    int64_t index = 0;  // 0-based; -1 until a header names it
    std::string name;
};

ColumnChoice columnChoice(const std::string& column) {
    if (column.empty()) return {0, {}};
    int32_t number = 0;
    const auto [end, error] = std::from_chars(column.data(), column.data() + column.size(), number);
    if (error == std::errc() && end == column.data() + column.size() && number >= 1)
        return {number - 1, {}};
    return {-1, column};
}

}  // namespace

std::optional<RecordingFormat> recordingFormatOfPath(std::string_view path) {
    const std::string ending = fileEnding(path);
    if (ending == "json") return RecordingFormat::Json;
    if (ending == "csv" || ending == "txt" || ending == "tsv") return RecordingFormat::Csv;
    if (ending == "wav") return RecordingFormat::Wav;
    return std::nullopt;
}

std::optional<RecordingFormat> recordingFormatNamed(std::string_view word) {
    if (word == "json") return RecordingFormat::Json;
    if (word == "csv") return RecordingFormat::Csv;
    if (word == "wav") return RecordingFormat::Wav;
    return std::nullopt;
}

std::string readCsvRecording(const RecordingRequest& request, Recording& out) {
    return readSpan(request, out, [&request](RecordingSpan& span) -> std::string {
        LineReader reader;
        if (std::string problem = reader.open(request.path); !problem.empty()) return problem;
        span.describeBy(
            [&reader](uint64_t) { return "line " + std::to_string(reader.lineNumber()); });
        ColumnChoice column = columnChoice(request.column);
        char separator = 0;
        bool firstLine = true;
        std::string line;
        const auto at = [&](const std::string& what) {
            return request.path + ": line " + std::to_string(reader.lineNumber()) + ": " + what;
        };
        while (reader.next(line)) {
            if (isSkippedLine(line)) continue;
            if (!separator) separator = detectSeparator(line);
            const std::vector<std::string_view> fields = splitFields(line, separator);
            const bool header = firstLine;
            firstLine = false;
            if (column.index < 0) {  // named: the first line is the header
                for (std::size_t i = 0; i < fields.size(); ++i)
                    if (fields[i] == column.name) column.index = static_cast<int64_t>(i);
                if (column.index < 0) return at("the header has no column \"" + column.name + "\"");
                continue;
            }
            if (static_cast<std::size_t>(column.index) >= fields.size())
                return at("no column " + std::to_string(column.index + 1) + " (the line has " +
                          std::to_string(fields.size()) + ")");
            const std::string_view field = fields[static_cast<std::size_t>(column.index)];
            const std::optional<double> value = parseNumber(field);
            if (!value) {
                if (header) continue;  // a header line above the numbers
                std::string what = "\"";
                what.append(field).append("\" in column ");
                return at(what + std::to_string(column.index + 1) + " is not a number");
            }
            if (!span.take(*value)) break;
        }
        if (!span.problem().empty()) return span.problem();
        if (!reader.problem().empty()) return reader.problem();
        if (!reader.stillThere()) return reader.problem();
        return {};
    });
}

std::string recordingRequestProblem(const RecordingRequest& request) {
    if (request.count &&
        (*request.count == 0 || (!request.anyLength && *request.count > kMostRecordingSamples)))
        return request.path + ": a span of " + std::to_string(*request.count) +
               " samples; a series holds 1..32,767";
    if (request.scale && !(*request.scale > 0))
        return request.path + ": the scale factor must be above 0";
    return {};
}

std::string readRecording(const RecordingRequest& request, Recording& out) {
    if (std::string problem = recordingRequestProblem(request); !problem.empty()) return problem;
    switch (request.format) {
        case RecordingFormat::Csv:
            return readCsvRecording(request, out);
        case RecordingFormat::Wav:
            return readWavRecording(request, out);
        case RecordingFormat::Json:
            return readJsonRecording(request, out);
    }
    return request.path + ": unknown format";
}

}  // namespace etalon::io
