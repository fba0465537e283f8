// Recordings, alphabets and results files read and written, refusals named.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "io/alphabet_file.h"
#include "io/etalon_cut.h"
#include "io/io_support.h"  // tests/io
#include "io/recording.h"
#include "io/recording_readers.h"
#include "io/results_csv.h"
#include "io/sum_range.h"
#include "io/text_file.h"
#include "pulses/alphabet.h"
#include "pulses/random_streams.h"

namespace etalon::io {
namespace {

using test::ioTemp;
using test::writeWav;

Recording read(RecordingRequest request) {
    Recording out;
    const std::string problem = readRecording(request, out);
    EXPECT_EQ(problem, "") << request.path;
    return out;
}

RecordingRequest csv(const std::string& path, const std::string& column = "") {
    RecordingRequest r;
    r.path = path;
    r.column = column;
    return r;
}

TEST(Recording, EveryTableShapeAndFormatGivesTheSameSamples) {
    const std::vector<int16_t> expected = {3, -7, 0, 32767, -32767};
    const std::vector<std::pair<std::string, std::string>> tables = {
        {"# one value a line\n3\n-7\n\n0\n32767\n-32767\n", ""},
        {"time,value\n0,3\n1,-7\n2,0\n3,32767\n4,-32767\n", "value"},
        {"a;b\r\n9;3\r\n9;-7\r\n9;0\r\n9;32767\r\n9;-32767\r\n", "2"},
        {"x\ty\n1\t3\n1\t-7\n# skipped\n1\t0\n1\t32767\n1\t-32767\n", "2"},
        {"  1   3\n 1 -7\n1 0\n1   32767\n1 -32767  \n", "2"},
    };
    for (std::size_t i = 0; i < tables.size(); ++i) {
        SCOPED_TRACE(tables[i].first);
        const Recording r = read(
            csv(ioTemp("table" + std::to_string(i) + ".csv", tables[i].first), tables[i].second));
        EXPECT_EQ(r.samples, expected);
        EXPECT_FALSE(r.scaled);
    }
    // Second channel of a 16-bit WAV: integers as they are, the rate kept.
    std::vector<double> frames;
    for (int16_t v : expected)
        frames.insert(frames.end(), {1000.0, double(v)});
    RecordingRequest wav;
    wav.path = writeWav("two.wav", SF_FORMAT_PCM_16, 2, 8000, frames);
    wav.format = RecordingFormat::Wav;
    wav.channel = 2;
    const Recording w = read(wav);
    EXPECT_EQ(w.samples, expected);
    EXPECT_EQ(w.sampleRate, 8000.0);
}

TEST(Recording, OtherValuesAreScaledAndTheSpanKept) {
    // Fractions, and integers beyond 16 bits: the largest magnitude goes to 128.
    Recording r = read(csv(ioTemp("float.csv", "0.5\n-0.25\n1e-1\n-1\n")));
    EXPECT_EQ(r.samples, (std::vector<int16_t>{64, -32, 13, -128}));
    EXPECT_TRUE(r.scaled);
    EXPECT_DOUBLE_EQ(r.scale, 128.0);
    RecordingRequest wav;
    wav.format = RecordingFormat::Wav;
    wav.path = writeWav("float.wav", SF_FORMAT_FLOAT, 1, 100, {0.0, 0.5, -0.25, 0.125, 1.0});
    wav.first = 1;
    wav.count = 3;
    r = read(wav);
    EXPECT_EQ(r.samples, (std::vector<int16_t>{128, -64, 32}));  // the span's largest
    EXPECT_EQ(r.first, 1u);
    wav.path = writeWav("wide.wav", SF_FORMAT_PCM_24, 1, 100, {0, 4000000, -2000000});
    wav.first = 0;
    wav.count.reset();
    wav.scale = 0.001;  // a factor given scales every sample
    EXPECT_EQ(read(wav).samples, (std::vector<int16_t>{0, 4000, -2000}));
    RecordingRequest json = csv(ioTemp("series.json", R"({"series":[{"wTmin":1,
        "lpPureData":[9,9,9],"lpNoisyData":[5,-6,7],"wImpulseQuantity":0}]})"));
    json.format = RecordingFormat::Json;
    json.first = 1;
    EXPECT_EQ(read(json).samples, (std::vector<int16_t>{-6, 7}));
}

// A recording longer than a series is refused once the span overflows: the
// binary tail after 40,000 lines is never reached.
TEST(Recording, ALongFileIsRefusedWithoutReadingItWhole) {
    std::string text;
    for (int i = 0; i < 40000; ++i)
        text += std::to_string(i % 100) + '\n';
    const std::string path = ioTemp("long.csv", text + std::string(1000, '\0'));
    Recording out;
    const std::string problem = readRecording(csv(path), out);
    EXPECT_NE(problem.find(path + ": more than 32,767 samples"), std::string::npos) << problem;
    EXPECT_NE(problem.find("--from"), std::string::npos);
    EXPECT_NE(problem.find("--count"), std::string::npos);
    RecordingRequest span = csv(path);
    span.first = 39000;
    span.count = 1000;
    EXPECT_EQ(read(span).samples.front(), 0);
}

struct Refusal {
    std::string name, text, column, expected;
};

TEST(Recording, BadFilesAreRefusedNamingTheFileAndLine) {
    const std::vector<Refusal> refusals = {
        {"empty.csv", "", "", "is empty"},
        {"blank.csv", "# nothing\n\n", "", "is empty"},
        {"binary.csv", "1\n2\n\x01\x02\x03\n", "", "line 3 holds binary data"},
        {"word.csv", "v\n1\n2x\n", "", "line 3: \"2x\" in column 1 is not a number"},
        {"nan.csv", "1\nnan\n", "", "line 2: \"nan\" in column 1 is not a number"},
        {"short.csv", "1,2\n3,4\n5\n", "2", "line 3: no column 2 (the line has 1)"},
        {"named.csv", "a,b\n1,2\n", "c", "line 1: the header has no column \"c\""},
        {"header.csv", "a\n", "", "holds no samples"},
        {"huge.csv", "1\n1e9\n", "", ": line 2: 1e+09 scaled by"},
        {"inf.json", R"({"series":[{"lpNoisyData":[1,1e999]}]})", "",
         "number overflow parsing '1e999'"},
        {"tiny.csv", "0\n1e-320\n", "", ": line 2: 9.99989e-321 is the largest magnitude"},
    };
    for (const Refusal& r : refusals) {
        const std::string path = ioTemp(r.name, r.text);
        RecordingRequest request = csv(path, r.column);
        if (r.name.ends_with(".json")) request.format = RecordingFormat::Json;
        if (r.name == "huge.csv") request.scale = 1;
        Recording out;
        out.samples = {42};
        const std::string problem = readRecording(request, out);
        EXPECT_NE(problem.find(path), std::string::npos) << problem;
        EXPECT_NE(problem.find(r.expected), std::string::npos) << problem;
        EXPECT_EQ(out.samples, std::vector<int16_t>{42}) << "written despite " << problem;
    }
    RecordingRequest wav;
    wav.format = RecordingFormat::Wav;
    wav.path = writeWav("mono.wav", SF_FORMAT_PCM_16, 1, 100, {1, 2, 3});
    wav.channel = 2;
    Recording out;
    EXPECT_EQ(readRecording(wav, out), wav.path + ": no channel 2 (the file has 1)");
    wav.path = ioTemp("text.wav", "not a sound\n");
    EXPECT_NE(readRecording(wav, out).find("not a sound file"), std::string::npos);
    wav.channel = 1;
    wav.path = writeWav("short.wav", SF_FORMAT_PCM_16, 1, 100, {1, 2, 3});
    wav.first = 3;
    EXPECT_NE(readRecording(wav, out).find("starts at sample 3, but the file holds 3"),
              std::string::npos);
}

// The file goes away while it is read (a pipe whose writer removes it).
TEST(Recording, AFileThatVanishesWhileReadIsRefused) {
    const std::string path = ::testing::TempDir() + "vanishing.csv";
    std::filesystem::remove(path);
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    std::thread writer([&path] {
        std::ofstream pipe(path);
        pipe << "1\n2\n3\n";
        std::filesystem::remove(path);
    });
    Recording out;
    const std::string problem = readRecording(csv(path), out);
    writer.join();
    EXPECT_EQ(problem, path + ": the file vanished while it was read (at line 3)");
}

// The reader over bytes in memory gives what the file gives, refusals included.
TEST(Recording, WavBytesInMemoryReadAsTheFile) {
    RecordingRequest wav;
    wav.format = RecordingFormat::Wav;
    const std::string good =
        writeWav("stereo.wav", SF_FORMAT_FLOAT, 2, 100, {0.5, 1, -0.25, 2, 0.125, 3, 1.0, 4});
    std::ifstream in(good, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    const std::string cut = ioTemp("cut.wav", bytes.substr(0, bytes.size() - 6));
    for (const auto& [path, channel, first] : {std::tuple{good, 2u, 1u},
                                               {good, 1u, 0u},
                                               {good, 3u, 0u},
                                               {cut, 1u, 0u},
                                               {good, 1u, 9u}}) {
        SCOPED_TRACE(path + " channel " + std::to_string(channel));
        wav.path = path;
        wav.channel = channel;
        wav.first = first;
        std::ifstream file(path, std::ios::binary);
        const std::string held{std::istreambuf_iterator<char>(file), {}};
        Recording fromFile, fromMemory;
        EXPECT_EQ(readWavRecordingFromMemory(
                      wav, std::span(reinterpret_cast<const uint8_t*>(held.data()), held.size()),
                      fromMemory),
                  readRecording(wav, fromFile));
        EXPECT_EQ(fromMemory.samples, fromFile.samples);
        EXPECT_EQ(fromMemory.sampleRate, fromFile.sampleRate);
    }
}

std::vector<PulseHeader> builtInAlphabet() {
    std::vector<PulseHeader> alphabet(kEtalonsNumber);
    SilentSink sink;
    int16_t seed = RandomStreams{}.wAlphabetNoiseSeed;
    makeAlphabet(sink, kPulseAmplitude, kEtalonsNumber, kEtalonLength, alphabet, seed);
    return alphabet;
}

TEST(Alphabet, WrittenAndReadBackInBothFormats) {
    const std::vector<PulseHeader> alphabet = builtInAlphabet();
    for (AlphabetFormat format : {AlphabetFormat::Json, AlphabetFormat::Csv}) {
        const std::string path = ::testing::TempDir() + "alphabet.file";
        ASSERT_EQ(writeAlphabetFile(path, alphabet, format), "");
        EXPECT_EQ(guessAlphabetFormat(path), format);
        std::vector<PulseHeader> back;
        ASSERT_EQ(readAlphabetFile(path, format, back), "");
        EXPECT_EQ(back, alphabet);
    }
}

TEST(Alphabet, BadFilesAreRefusedNamingTheRow) {
    std::string many;
    for (int i = 0; i < 21; ++i)
        many += "1,2,3\n";
    std::string big;
    for (int i = 0; i < 1000; ++i)
        big += (i ? "," : "") + std::string("32767");
    const std::vector<std::tuple<std::string, std::string, std::string>> refusals = {
        {"a_empty.csv", "", "is empty"},
        {"a_ragged.csv", "1,2,3\n# fine\n4,5\n", "line 3: 2 samples, where the first etalon has 3"},
        {"a_many.csv", many, "line 21: more than 20 etalons"},
        {"a_short.csv", "7\n", "line 1: an etalon of 1 samples"},
        {"a_value.csv", "1,2.5,3\n", "line 1, value 2: \"2.5\" is not a whole number"},
        {"a_range.csv", "1,40000\n", "line 1, value 2: \"40000\""},
        {"a_energy.csv", big + "\n", "line 1: the etalon's energy"},
        {"a_binary.csv", "1,2\n\x7f\x01\n", "line 2 holds binary data"},
        {"a_rows.json", R"({"etalons":[[1,2],[1,2,3]]})", "etalons[1]: 3 samples"},
        {"a_field.json", R"({"etalons":[{"lpData":[1,"x"]}]})", "etalons[0].lpData[1] is \"x\""},
        {"a_bad.json", "{\"etalons\":[", "not valid JSON"},
    };
    for (const auto& [name, text, expected] : refusals) {
        const std::string path = ioTemp(name, text);
        std::vector<PulseHeader> out(1);
        const std::string problem = readAlphabetFile(path, guessAlphabetFormat(path), out);
        EXPECT_EQ(problem.rfind(path, 0), 0u) << problem;
        EXPECT_NE(problem.find(expected), std::string::npos) << problem;
        EXPECT_EQ(out.size(), 1u);
    }
}

// 1,000 samples of 100: E = 10^7 and sum|e| = 10^5, so ten pulses keep
// 10 (E + 2 Y 10^5) within 2^31 - 1 up to Y = 1,023.
TEST(SumRange, NamesTheLargestSampleThatFits) {
    PulseHeader etalon;
    etalon.wSize = etalon.wReservedSize = 1000;
    etalon.lpData.assign(1000, 100);
    const std::vector<PulseHeader> etalons = {etalon};
    EXPECT_EQ(largestFittingSample(etalons, 10), 1023);
    EXPECT_EQ(sumWrapProblem(std::vector<int16_t>{5, -1023}, etalons, 10), "");
    const std::string problem = sumWrapProblem(std::vector<int16_t>{5, -1024, 7}, etalons, 10);
    EXPECT_NE(problem.find("sample 1 is -1024"), std::string::npos) << problem;
    EXPECT_NE(problem.find("the largest sample magnitude that fits is 1023"), std::string::npos);
    EXPECT_EQ(largestFittingSample(etalons, 215), -1);  // 215 E alone passes 2^31
}

TEST(Results, RowsCarryTheOffsetTimeAndCriterionAndAFailedWriteKeepsTheOldFile) {
    const std::vector<int16_t> etalons = {2, 5}, positions = {10, 130}, starts = {0, 3},
                               ends = {49, 40};
    const std::vector<ResultChain> chains = {{-1000, etalons, positions, starts, ends},
                                             {-7, {}, {}, {}, {}}};
    EXPECT_EQ(resultsCsvText(chains, {5, 1000.0}),
              "chain,pulse,position,time,etalon,cut_start,cut_end,criterion\n"
              "1,1,15,0.015,2,0,49,-1000\n"
              "1,2,135,0.135,5,3,40,-1000\n");
    const std::string noRate = resultsCsvText(chains, {});
    EXPECT_EQ(noRate.substr(noRate.find('\n') + 1, 21), "1,1,10,,2,0,49,-1000\n");
    const std::string path = ioTemp("results.csv", "kept\n");
    failNextTextFileWrite(true);
    EXPECT_NE(writeResultsCsv(path, chains, {}).find("No space left"), std::string::npos);
    std::stringstream kept;
    kept << std::ifstream(path).rdbuf();
    EXPECT_EQ(kept.str(), "kept\n");
    for (const auto& entry : std::filesystem::directory_iterator(::testing::TempDir()))
        EXPECT_EQ(entry.path().filename().string().find("results.csv.tmp"), std::string::npos);
    EXPECT_EQ(writeResultsCsv(path, chains, {}), "");
}

TEST(EtalonCut, TakesTheSamplesOrSaysWhyNot) {
    const std::vector<int16_t> series = {0, 1, 2, 3, 4, 5};
    PulseHeader cut;
    ASSERT_EQ(cutEtalon(series, 2, 3, 7, cut), "");
    EXPECT_EQ(cut.lpData, (std::vector<int16_t>{2, 3, 4}));
    EXPECT_EQ(cut.wNumber, 7);
    EXPECT_EQ(cut.wSize, 3);
    EXPECT_EQ(cutEtalon(series, 4, 3, 1, cut), "samples 4..6 leave the series of 6 samples (0..5)");
    EXPECT_EQ(cut.lpData, (std::vector<int16_t>{2, 3, 4}));
}

}  // namespace
}  // namespace etalon::io
