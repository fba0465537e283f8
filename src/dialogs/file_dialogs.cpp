#include "dialogs/file_dialogs.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <string>

#include "dialogs/dialog_controls.h"

namespace etalon {

using namespace dialog_controls;
using platform::DialogContext;
using platform::DialogEvent;
using platform::DialogTemplate;
using platform::kIdCancel;
using platform::kIdOk;

namespace {

constexpr int32_t kLargestPosition = std::numeric_limits<int16_t>::max();

bool blank(const std::string& text) {
    return text.find_first_not_of(" \t") == std::string::npos;
}

// A whole number and nothing else, so that "1O" is not read as 1.
bool wholeNumber(const std::string& text, int32_t& value) {
    const auto first = text.find_first_not_of(' ');
    const auto last = text.find_last_not_of(' ');
    if (first == std::string::npos) return false;
    const std::string digits = text.substr(first, last - first + 1);
    if (digits.size() > 9 || !std::all_of(digits.begin(), digits.end(), ::isdigit)) return false;
    value = std::stoi(digits);
    return true;
}

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// A sample index: recordings may run past what 32 bits count.
bool wholeIndex(const std::string& text, uint64_t& value) {
    const std::string digits = trimmed(text);
    if (digits.empty() || digits.size() > 18 ||
        !std::all_of(digits.begin(), digits.end(), ::isdigit))
        return false;
    std::from_chars(digits.data(), digits.data() + digits.size(), value);
    return true;
}

bool refuse(DialogContext& context, const std::string& why, const char* caption) {
    context.showMessage(why, caption);
    return true;
}

std::string recordingProblem(const OpenSeriesValues& v, const std::string& pulses, int32_t tmin,
                             int32_t tmax, int32_t level, int32_t& count) {
    const int32_t n = static_cast<int32_t>(v.seriesLength), pulse = v.pulseLength;
    if (tmin < 1 || tmin > kLargestPosition)
        return formatText("Min Length of Interval must lie between 1 and %d.", kLargestPosition);
    if (tmax < std::max(tmin, pulse) || tmax > kLargestPosition) {
        return formatText(
            "Max Length of Interval must lie between %d and %d "
            "(not below Min Length of Interval nor the etalon length).",
            std::max(tmin, pulse), kLargestPosition);
    }
    const int32_t least = std::max<int32_t>(1, (n + pulse - 1) / tmax);
    const int32_t most = n < pulse ? 0 : (n - pulse + tmin) / tmin;
    if (least > most) {
        return formatText(
            "The series of %d samples holds no number of pulses of length %d with these "
            "intervals.",
            n, pulse);
    }
    count = 0;
    if (!blank(pulses) && (!wholeNumber(pulses, count) || count < least || count > most)) {
        return formatText(
            "Number of Pulses must lie between %d and %d, or be left empty when it is unknown.",
            least, most);
    }
    if (level < 0 || level > 100) return "Saved Energy Level must lie between 0 and 100.";
    return {};
}

bool openSeriesOk(DialogContext& context, OpenSeriesValues& v) {
    int32_t count = 0;
    const std::string problem = recordingProblem(
        v, readText(context, kEditRecordingPulses), readInteger(context, kEditRecordingTmin),
        readInteger(context, kEditRecordingTmax), readInteger(context, kEditRecordingLevel), count);
    if (!problem.empty()) return refuse(context, problem, "Processing the series");
    v.dlgPulses = static_cast<uint16_t>(count);
    v.dlgTmin = static_cast<uint16_t>(readInteger(context, kEditRecordingTmin));
    v.dlgTmax = static_cast<uint16_t>(readInteger(context, kEditRecordingTmax));
    v.dlgProcessingLevel = static_cast<uint16_t>(readInteger(context, kEditRecordingLevel));
    v.accepted = 1;
    context.end(1);
    return true;
}

uint32_t lastFirstSample(const EtalonFromSeriesValues& v) {
    return v.seriesLength >= v.pulseLength ? v.seriesLength - v.pulseLength : 0;
}

bool etalonFromSeriesOk(DialogContext& context, EtalonFromSeriesValues& v) {
    int32_t first = 0, etalon = 0;
    if (!wholeNumber(readText(context, kEditFirstSample), first) ||
        static_cast<uint32_t>(first) > lastFirstSample(v)) {
        return refuse(context,
                      formatText("First Sample must lie between 0 and %u.", lastFirstSample(v)),
                      "Etalon from series");
    }
    if (!wholeNumber(readText(context, kEditReplacedEtalon), etalon) || etalon < 1 ||
        etalon > v.etalons) {
        return refuse(context, formatText("Etalon Number must lie between 1 and %d.", v.etalons),
                      "Etalon from series");
    }
    v.dlgFirstSample = static_cast<uint32_t>(first);
    v.dlgEtalon = etalon;
    v.accepted = 1;
    context.end(1);
    return true;
}

bool readRecordingOk(DialogContext& context, ReadRecordingValues& v, const RecordingReader& read) {
    constexpr const char* kCaption = "Reading the recording";
    ReadRecordingValues typed;
    typed.dlgColumn = trimmed(readText(context, kEditRecordingColumn));
    const std::string channel = readText(context, kEditRecordingChannel);
    int32_t number = 1;
    if (!blank(channel) && (!wholeNumber(channel, number) || number < 1))
        return refuse(context,
                      "Channel must be a whole number from 1, or left empty for the first.",
                      kCaption);
    typed.dlgChannel = static_cast<uint32_t>(number);
    const std::string first = readText(context, kEditRecordingFirst);
    if (!blank(first) && !wholeIndex(first, typed.dlgFirst))
        return refuse(context, "First Sample must be a whole number from 0, or left empty for 0.",
                      kCaption);
    const std::string count = readText(context, kEditRecordingCount);
    // Any span: one longer than a series is restored whole.
    if (!blank(count) && (!wholeIndex(count, typed.dlgCount) || typed.dlgCount < 1)) {
        return refuse(context,
                      "Number of Samples must be a whole number from 1, or left empty for the "
                      "rest of the recording.",
                      kCaption);
    }
    if (const std::string problem = read(typed); !problem.empty())
        return refuse(context, problem, kCaption);
    v = typed;
    v.accepted = 1;
    context.end(1);
    return true;
}

bool cancel(DialogContext& context, int32_t& accepted) {
    accepted = 0;
    context.end(1);
    return true;
}

platform::DialogControl greyedUnless(bool applies, platform::DialogControl control) {
    control.disabled = !applies;
    return control;
}

}  // namespace

DialogTemplate openSeriesTemplate() {
    return {"Processing the series",
            {0, 0, 240, 126},
            {
                label({}, 13, 8, 220, 8, kLabelRecording),
                group("Parameters for processing series", 13, 22, 160, 96),
                label("Number of Pulses", 20, 35, 85, 8),
                edit(kEditRecordingPulses, 110, 34, 40, 12, "32767"),
                label("(left empty when unknown)", 20, 46, 88, 8),
                label("Min Length of Interval", 20, 61, 85, 8),
                edit(kEditRecordingTmin, 110, 60, 40, 12, "32767"),
                label("Max Length of Interval", 20, 76, 85, 8),
                edit(kEditRecordingTmax, 110, 75, 40, 12, "32767"),
                label("Saved Energy Level (0-100)", 20, 91, 88, 8),
                edit(kEditRecordingLevel, 110, 90, 40, 12, "100"),
                okButton(180, 80),
                cancelButton(180, 99),
            }};
}

DialogTemplate etalonFromSeriesTemplate() {
    return {"Etalon from series",
            {0, 0, 200, 82},
            {
                label({}, 13, 12, 130, 8, kLabelFirstSample),
                edit(kEditFirstSample, 148, 11, 38, 12, "32767"),
                label({}, 13, 32, 130, 8, kLabelReplacedEtalon),
                edit(kEditReplacedEtalon, 148, 31, 38, 12, "20"),
                okButton(40, 58),
                cancelButton(110, 58),
            }};
}

DialogTemplate readRecordingTemplate(bool table, bool channels) {
    // A column means nothing to a WAV file, a channel to a table: greyed with its label.
    return {"Reading the recording",
            {0, 0, 252, 120},
            {
                label("An empty field reads the first column or channel,", 13, 8, 220, 8),
                label("from sample 0 to the end of the recording.", 13, 17, 220, 8),
                group("Values of the series", 13, 31, 176, 81),
                greyedUnless(table, label("Column (number or name)", 20, 44, 88, 8)),
                greyedUnless(table, edit(kEditRecordingColumn, 110, 43, 73, 12)),
                greyedUnless(channels, label("Channel", 20, 59, 85, 8)),
                greyedUnless(channels, edit(kEditRecordingChannel, 110, 58, 40, 12, "65535")),
                label("First Sample", 20, 74, 85, 8),
                edit(kEditRecordingFirst, 110, 73, 73, 12, "18446744073709551615"),
                label("Number of Samples", 20, 89, 85, 8),
                edit(kEditRecordingCount, 110, 88, 40, 12, "32767"),
                okButton(196, 79),
                cancelButton(196, 98),
            }};
}

platform::DialogProcedure openSeriesProcedure(OpenSeriesValues& values) {
    return [&values](DialogContext& context, DialogEvent event, int id) {
        if (event == DialogEvent::Init) {
            context.setText(
                kLabelRecording,
                values.scale > 0.0
                    ? formatText("The series holds %u samples, scaled by %g; etalons are %d long.",
                                 values.seriesLength, values.scale, int{values.pulseLength})
                    : formatText("The series holds %u samples; etalons are %d long.",
                                 values.seriesLength, int{values.pulseLength}));
            context.setText(kEditRecordingPulses, "");
            context.setText(kEditRecordingTmin, std::to_string(values.tmin));
            context.setText(kEditRecordingTmax, std::to_string(values.tmax));
            context.setText(kEditRecordingLevel, std::to_string(values.processingLevel));
            return true;
        }
        if (id == kIdOk) return openSeriesOk(context, values);
        if (id == kIdCancel) return cancel(context, values.accepted);
        return false;
    };
}

platform::DialogProcedure etalonFromSeriesProcedure(EtalonFromSeriesValues& values) {
    return [&values](DialogContext& context, DialogEvent event, int id) {
        if (event == DialogEvent::Init) {
            context.setText(kLabelFirstSample,
                            formatText("First Sample (from 0 to %u)", lastFirstSample(values)));
            context.setText(kEditFirstSample, std::to_string(values.firstSample));
            context.setText(kLabelReplacedEtalon,
                            formatText("Etalon Number (from 1 to %d)", int{values.etalons}));
            context.setText(kEditReplacedEtalon, std::to_string(values.etalon));
            return true;
        }
        if (id == kIdOk) return etalonFromSeriesOk(context, values);
        if (id == kIdCancel) return cancel(context, values.accepted);
        return false;
    };
}

platform::DialogProcedure readRecordingProcedure(ReadRecordingValues& values,
                                                 RecordingReader read) {
    return [&values, read = std::move(read)](DialogContext& context, DialogEvent event, int id) {
        if (event == DialogEvent::Init) return true;
        if (id == kIdOk) return readRecordingOk(context, values, read);
        if (id == kIdCancel) return cancel(context, values.accepted);
        return false;
    };
}

}  // namespace etalon
