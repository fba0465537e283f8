#include "soak/soak_files.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>

#include "io/recording_series.h"
#include "io/sum_range.h"
#include "processing/matched_filter.h"
#include "processing/restoring.h"
#include "series/series_generator.h"
#include "support/recording_sink.h"

namespace etalon::soak {

namespace {

constexpr TaskCode kTasks[] = {
    TaskCode::Detection,       TaskCode::Recognition,        TaskCode::Joint,
    TaskCode::JointEstimation, TaskCode::JointEstimationAlt, TaskCode::BlindDetection,
    TaskCode::TuplesDetection, TaskCode::TuplesRecognition,  TaskCode::SeriesProcessing};

class FileDraw {
  public:
    FileDraw(uint64_t seed, uint64_t index) {
        // A word the settings' own stream lacks: a stream of its own.
        std::seed_seq seq{uint32_t(seed), uint32_t(seed >> 32), uint32_t(index),
                          uint32_t(index >> 32), 0xF11E5u};
        rng_.seed(seq);
    }
    int64_t between(int64_t lo, int64_t hi) {
        return std::uniform_int_distribution<int64_t>(lo, std::max(lo, hi))(rng_);
    }
    bool oneIn(int n) { return between(0, n - 1) == 0; }

  private:
    std::mt19937_64 rng_;
};

void drawAlphabet(FileDraw& d, FileSetting& f) {
    const auto count = static_cast<std::size_t>(d.between(1, 20));
    const int64_t length = d.oneIn(3)   ? d.between(2, 10)
                           : d.oneIn(2) ? d.between(11, 100)
                                        : d.between(101, 1000);
    // Now and then large enough that the energy passes the 32-bit sums' bound.
    const int64_t amplitude = d.oneIn(10) ? d.between(1, 32767) : d.between(1, 300);
    f.etalons.assign(count, std::vector<int16_t>(static_cast<std::size_t>(length)));
    for (auto& row : f.etalons)
        for (auto& v : row)
            v = static_cast<int16_t>(d.between(-amplitude, amplitude));
    if (d.oneIn(25)) f.etalons.back().resize(static_cast<std::size_t>(d.between(1, 1001)));
    f.alphabetFormat = d.oneIn(2) ? io::AlphabetFormat::Csv : io::AlphabetFormat::Json;
}

// Noise with a few of the etalons laid in, at spacings Tmin..Tmax where they fit.
void drawSamples(FileDraw& d, FileSetting& f) {
    const std::size_t length = f.etalons.front().size();
    const int64_t n = d.oneIn(50)  ? d.between(32700, 33000)
                      : d.oneIn(2) ? d.between(1, int64_t(length) * 4)
                                   : d.between(int64_t(length), int64_t(length) * 40 + 200);
    f.samples.assign(static_cast<std::size_t>(n), 0.0);
    const int64_t noise = d.between(0, 100);
    for (auto& v : f.samples)
        v = static_cast<double>(d.between(-noise, noise));
    for (int64_t at = d.between(0, f.tmax); at + int64_t(length) <= n;
         at += d.between(f.tmin, f.tmax) + 1) {
        const auto& e = f.etalons[static_cast<std::size_t>(
            d.between(0, static_cast<int64_t>(f.etalons.size()) - 1))];
        for (std::size_t j = 0; j < e.size() && at + int64_t(j) < n; ++j)
            f.samples[static_cast<std::size_t>(at) + j] += e[j];
    }
    // Fractions, or integers beyond 16 bits: both are scaled.
    const int kind = static_cast<int>(d.between(0, 5));
    for (auto& v : f.samples) {
        if (kind == 0) v = v / 1024.0 + 1.0 / 3;
        if (kind == 1) v *= 40;
        v = std::clamp(v, -2e6, 2e6);
        if (kind > 1) v = std::clamp(v, -32767.0, 32767.0);
    }
}

}  // namespace

FileSetting drawFileSetting(uint64_t seed, uint64_t index) {
    FileDraw d(seed, index);
    FileSetting f;
    drawAlphabet(d, f);
    const auto length = static_cast<int64_t>(f.etalons.front().size());
    f.tmin =
        static_cast<uint16_t>(d.oneIn(8) ? d.between(1, 2000) : d.between(length / 2, length * 2));
    f.tmax =
        static_cast<uint16_t>(d.oneIn(8) ? d.between(1, 2000) : f.tmin + d.between(0, length * 3));
    f.recordingFormat = io::RecordingFormat(d.between(0, 2));
    f.wavSamples = WavSamples(d.between(0, 2));
    drawSamples(d, f);
    const auto n = static_cast<int64_t>(f.samples.size());
    f.channels = static_cast<uint32_t>(d.between(1, 3));
    f.channel = static_cast<uint32_t>(d.oneIn(20) ? f.channels + 1 : d.between(1, f.channels));
    f.header = d.oneIn(3);
    if (d.oneIn(4)) f.first = static_cast<uint64_t>(d.between(0, n + 2));
    if (d.oneIn(3)) f.count = static_cast<uint32_t>(d.oneIn(30) ? 0 : d.between(1, n + 2));
    if (d.oneIn(8)) f.scale = static_cast<double>(d.between(1, 4000)) / 1000.0;
    const PulseCountBounds b = pulseCountBounds(static_cast<uint32_t>(std::min<int64_t>(n, 32767)),
                                                static_cast<uint16_t>(length), f.tmin, f.tmax);
    if (d.oneIn(2))
        f.pulses = static_cast<uint16_t>(
            d.between(std::max<int64_t>(b.minPulses, 1) - d.oneIn(5), b.maxPulses + d.oneIn(5)));
    f.processingLevel = d.oneIn(2) ? 100 : static_cast<uint16_t>(d.between(20, 99));
    f.task = kTasks[d.between(0, 8)];
    f.list.resize(static_cast<std::size_t>(d.between(1, 20)));
    for (auto& e : f.list)
        e = static_cast<uint16_t>(d.between(1, static_cast<int64_t>(f.etalons.size())));
    return f;
}

void capWork(FileSetting& f, uint64_t bound) {
    const auto steps = [&f] { return f.samples.size() * f.list.size() * f.etalons.front().size(); };
    while (steps() > bound && f.list.size() > 1)
        f.list.pop_back();
    while (steps() > bound && f.samples.size() > 1)
        f.samples.resize(f.samples.size() / 2);
}

std::string describe(const FileSetting& f) {
    static const char* const kRecording[] = {"json", "csv", "wav"};
    static const char* const kWav[] = {"pcm16", "float", "double"};
    std::ostringstream out;
    out << "files: " << f.etalons.size() << " etalons of " << f.etalons.front().size() << " as "
        << (f.alphabetFormat == io::AlphabetFormat::Csv ? "csv" : "json") << ", "
        << f.samples.size() << " samples as " << kRecording[int(f.recordingFormat)] << ' '
        << kWav[int(f.wavSamples)] << " channel " << f.channel << '/' << f.channels
        << (f.header ? " header" : "") << " from " << f.first << " count "
        << (f.count ? std::to_string(*f.count) : "-") << " scale "
        << (f.scale ? std::to_string(*f.scale) : "-") << " Tmin " << f.tmin << " Tmax " << f.tmax
        << " Q " << (f.pulses ? std::to_string(*f.pulses) : "-") << " level " << f.processingLevel
        << " task " << codeNumber(f.task) << " list";
    for (uint16_t e : f.list)
        out << ' ' << e;
    return out.str();
}

namespace {

using Json = nlohmann::json;

struct Expect {
    std::vector<std::string>& findings;
    void operator()(bool holds, const std::string& what) const {
        if (!holds) findings.push_back(what);
    }
};

bool wholeSamples(const std::vector<double>& values) {
    return std::all_of(values.begin(), values.end(),
                       [](double v) { return v == std::trunc(v) && std::fabs(v) <= 32767; });
}

std::string writeAlphabet(const FileSetting& f, const std::string& folder) {
    std::ofstream out;
    if (f.alphabetFormat == io::AlphabetFormat::Csv) {
        const std::string path = folder + "/alphabet.csv";
        out.open(path, std::ios::binary | std::ios::trunc);
        out << "# soak\n";
        for (const auto& row : f.etalons) {
            for (std::size_t j = 0; j < row.size(); ++j)
                out << (j ? "," : "") << row[j];
            out << '\n';
        }
        return path;
    }
    const std::string path = folder + "/alphabet.json";
    out.open(path, std::ios::binary | std::ios::trunc);
    Json rows = Json::array();
    for (const auto& row : f.etalons)
        rows.push_back(f.etalons.size() % 2 ? Json(row) : Json{{"lpData", row}});
    out << Json{{"etalons", rows}}.dump();
    return path;
}

// Writes the recording; `stored` gets the values of the channel as the file holds them.
std::string writeRecording(const FileSetting& f, const std::string& folder,
                           std::vector<double>& stored) {
    stored = f.samples;
    const std::size_t n = f.samples.size();
    if (f.recordingFormat == io::RecordingFormat::Json) {
        const std::string path = folder + "/recording.json";
        Json data = Json::array();
        for (double v : f.samples)
            data.push_back(v == std::trunc(v) ? Json(static_cast<int64_t>(v)) : Json(v));
        std::ofstream(path, std::ios::binary | std::ios::trunc)
            << Json{{"dwSeriesSize", n}, {"lpNoisyData", data}}.dump();
        return path;
    }
    if (f.recordingFormat == io::RecordingFormat::Csv) {
        const std::string path = folder + "/recording.csv";
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        if (f.header)
            for (uint32_t c = 1; c <= f.channels; ++c)
                out << (c > 1 ? "," : "") << 'c' << c << (c == f.channels ? "\n" : "");
        char text[40];
        for (std::size_t i = 0; i < n; ++i) {
            std::snprintf(text, sizeof text, "%.17g", f.samples[i]);
            for (uint32_t c = 1; c <= f.channels; ++c)
                out << (c > 1 ? "," : "") << (c == f.channel ? text : std::to_string(i % 7));
            out << '\n';
        }
        return path;
    }
    const std::string path = folder + "/recording.wav";
    WavSamples kind = f.wavSamples;
    if (kind == WavSamples::Pcm16 && !wholeSamples(f.samples)) kind = WavSamples::Double;
    if (kind == WavSamples::Float)
        for (double& v : stored)
            v = static_cast<float>(v);
    SF_INFO info{};
    info.samplerate = 8000;
    info.channels = static_cast<int>(f.channels);
    info.format = SF_FORMAT_WAV | (kind == WavSamples::Pcm16   ? SF_FORMAT_PCM_16
                                   : kind == WavSamples::Float ? SF_FORMAT_FLOAT
                                                               : SF_FORMAT_DOUBLE);
    std::vector<double> frames(n * f.channels, 0.0);
    for (std::size_t i = 0; i < n && f.channel <= f.channels; ++i)
        frames[i * f.channels + f.channel - 1] = f.samples[i];
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) return path;
    sf_command(file, SFC_SET_NORM_DOUBLE, nullptr, SF_FALSE);
    sf_writef_double(file, frames.data(), static_cast<sf_count_t>(n));
    sf_close(file);
    return path;
}

bool validAlphabet(const FileSetting& f) {
    for (const auto& row : f.etalons) {
        int64_t energy = 0;
        for (int16_t v : row)
            energy += int64_t{v} * v;
        if (row.size() != f.etalons.front().size() || row.size() < 2 || row.size() > 1000 ||
            energy > io::kLargestEtalonEnergy)
            return false;
    }
    return true;
}

// Reads the recording back and compares it with what was written; true with
// `read` filled when it was taken.
bool readRecordingBack(const FileSetting& f, const std::string& folder, const Expect& expect,
                       io::Recording& read) {
    std::vector<double> stored;
    io::RecordingRequest request;
    request.path = writeRecording(f, folder, stored);
    request.format = f.recordingFormat;
    request.column = f.header ? "c" + std::to_string(f.channel) : std::to_string(f.channel);
    request.channel = f.channel;
    request.scale = f.scale;
    request.first = f.first;
    request.count = f.count;
    const std::string problem = io::readRecording(request, read);
    const uint64_t n = stored.size();
    const bool noChannel = f.channel > f.channels && f.recordingFormat != io::RecordingFormat::Json;
    const bool badSpan = (f.count && (*f.count == 0 || *f.count > io::kMostRecordingSamples ||
                                      f.first + *f.count > n)) ||
                         f.first >= n || (!f.count && n - f.first > io::kMostRecordingSamples);
    if (noChannel || badSpan) {
        expect(!problem.empty(), "recording: a span or channel the file lacks was taken");
        return false;
    }
    if (!problem.empty()) {
        expect(problem.rfind(request.path, 0) == 0, "recording: a refusal not naming the file");
        // Only a given factor can push samples past 16 bits.
        expect(f.scale.has_value(), "recording: refused: " + problem);
        return false;
    }
    const std::vector<double> span(stored.begin() + static_cast<std::ptrdiff_t>(f.first),
                                   stored.begin() + static_cast<std::ptrdiff_t>(f.first) +
                                       static_cast<std::ptrdiff_t>(read.samples.size()));
    expect(read.samples.size() == (f.count ? *f.count : n - f.first),
           "recording: not the span asked for");
    expect(read.scaled == (f.scale || !wholeSamples(span)), "recording: scaled when it need not");
    int32_t largest = 0;
    for (std::size_t i = 0; i < read.samples.size() && i < span.size(); ++i) {
        const double want = read.scaled ? span[i] * read.scale : span[i];
        expect(std::fabs(read.samples[i] - want) <= 0.5 + 1e-9,
               "recording: sample " + std::to_string(f.first + i) + " read as " +
                   std::to_string(read.samples[i]) + ", written " + std::to_string(span[i]));
        largest = std::max(largest, std::abs(int32_t{read.samples[i]}));
    }
    if (read.scaled && !f.scale)
        expect(largest == 128 || (largest == 0 && !std::any_of(span.begin(), span.end(),
                                                               [](double v) { return v != 0; })),
               "recording: the largest magnitude not scaled to 128");
    return true;
}

}  // namespace

void runFileSetting(const FileSetting& f, const std::string& folder, uint64_t bound,
                    SettingOutcome& outcome) {
    const Expect expect{outcome.findings};
    std::vector<PulseHeader> alphabet;
    const std::string alphabetPath = writeAlphabet(f, folder);
    const std::string alphabetProblem =
        io::readAlphabetFile(alphabetPath, f.alphabetFormat, alphabet);
    expect(alphabetProblem.empty() == validAlphabet(f),
           "alphabet: " + (alphabetProblem.empty() ? "an odd alphabet taken" : alphabetProblem));
    for (std::size_t i = 0; alphabetProblem.empty() && i < alphabet.size(); ++i)
        expect(alphabet[i].lpData == f.etalons[i] && alphabet[i].wNumber == i + 1,
               "alphabet: etalon " + std::to_string(i + 1) + " read back differs");
    io::Recording read;
    if (!readRecordingBack(f, folder, expect, read) || !alphabetProblem.empty()) return;
    outcome.readBack = true;

    test::RecordingSink sink;
    const std::vector<PulseHeader> fitted = io::listedEtalons(alphabet, f.list);
    io::RecordingProcessing how;
    how.tmin = f.tmin;
    how.tmax = f.tmax;
    how.pulses = f.pulses;
    how.processingLevel = f.processingLevel;
    how.alphabet = alphabet;
    how.fitted = fitted;
    io::RecordingRefusal refusal;
    auto series = io::seriesFromRecording(sink, read.samples, how, refusal);
    if (!series) {
        expect(refusal.refused() || !sink.empty(), "recording series: refused without a reason");
        return;
    }
    const SeriesCode type = io::recordingSeriesType(f.pulses.has_value(), f.processingLevel);
    const RestoringProcedure procedure =
        chooseRestoringProcedure(effectiveTask(f.task, type), type);
    if (procedure == RestoringProcedure::None || readsPattern(procedure) ||
        readsPatterns(procedure))
        return;
    const auto length = static_cast<uint16_t>(alphabet.front().wSize);
    const auto etalons = static_cast<uint16_t>(alphabet.size());
    const uint16_t room =
        std::max(series->wMaxPulses,
                 pulseCountBounds(series->dwSeriesSize, length, f.tmin, f.tmax).maxPulses);
    RestoringRequest request;
    request.alphabet = alphabet;
    request.etalons = f.list;
    request.tmin = f.tmin;
    request.tmax = f.tmax;
    request.processingLevel = f.processingLevel;
    request.series = series.get();
    const uint64_t window = f.tmax >= f.tmin ? uint64_t{f.tmax} - f.tmin + 1 : 1;
    const uint64_t fit = f.processingLevel < 100 ? uint64_t{length} * length : length;
    const uint64_t exactSteps = read.samples.size() * f.list.size() * (window + room + fit);
    if (exactSteps <= bound) {
        auto chains = getChainsHeader(sink, 10, room, nullptr);
        if (!chains) return;
        request.chains = chains.get();
        const std::size_t before = sink.messages.size();
        if (runRestoringProcedure(sink, procedure, request) == 0)
            expect(sink.messages.size() > before || chains->wPretenders == 0,
                   "recording: restoring refused without a message");
        checkChains(outcome.findings, *chains, *series, f.tmin, f.tmax, length, etalons, true);
    }
    auto filtered = getChainsHeader(sink, 10, room, nullptr);
    if (!filtered) return;
    request.chains = filtered.get();
    const std::size_t before = sink.messages.size();
    if (runMatchedFilter(sink, procedure, request) == 0)
        expect(sink.messages.size() > before,
               "recording: matched filter refused without a message");
    checkChains(outcome.findings, *filtered, *series, f.tmin, f.tmax, length, etalons, false);
    if (f.pulses)
        expect(series->wRestoredQuantity <= *f.pulses,
               "recording: the matched filter took more pulses than the count");
    outcome.filtered = outcome.filtered || series->wRestoredQuantity > 0;
}

}  // namespace etalon::soak
