// `process --samples` and `--alphabet`: files made from series and alphabets
// give what the series and alphabets give, and bad ones are refused.
#include <gtest/gtest.h>

#include <algorithm>

#include <limits>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "io/io_support.h"
#include "io/results_csv.h"  // tests/io
#include "support/cli_runner.h"

namespace etalon::cli {
namespace {

using Json = nlohmann::json;
using test::ioTemp;
using test::runCli;

std::string lines(const std::vector<int>& values, const std::string& head = "") {
    std::string text = head;
    for (int v : values)
        text += std::to_string(v) + '\n';
    return text;
}

Json run(const std::vector<std::string>& args) {
    const test::CliResult r = runCli(args);
    EXPECT_EQ(r.code, 0) << r.err;
    return r.code == 0 ? r.json() : Json();
}

// Made series of every single-pulse type, written as CSV, 16-bit WAV and
// series JSON, restore to the chains of the made series themselves.
TEST(Recording, MadeSeriesWrittenOutRestoreTheSameChains) {
    for (const int type : {1, 2, 4, 8}) {
        const bool cut = type == 2 || type == 8, known = type == 1 || type == 2;
        const std::vector<std::string> making = {"--type",     std::to_string(type),
                                                 "--length",   "700",
                                                 "--noise",    "25",
                                                 "--level",    cut ? "80" : "100",
                                                 "--sequence", "3,5,7,9,4,2,11,3,3"};
        std::vector<std::string> made = {"process", "--task", "recognition"};
        made.insert(made.end(), making.begin(), making.end());
        const Json direct = run(made);
        const Json series = direct["series"];
        const std::vector<int> noisy = series["lpNoisyData"];
        std::vector<double> frames(noisy.begin(), noisy.end());
        const std::string name = "made" + std::to_string(type);
        const std::vector<std::string> files = {
            ioTemp(name + ".csv", lines(noisy, "# made\nnoisy\n")),
            test::writeWav(name + ".wav", SF_FORMAT_PCM_16, 1, 1000, frames),
            ioTemp(name + ".json", Json{{"series", {series}}}.dump())};
        for (const std::string& file : files) {
            SCOPED_TRACE("type " + std::to_string(type) + " from " + file);
            std::vector<std::string> args = {"process",         "--samples",   file,
                                             "--task",          "recognition", "--processing-level",
                                             cut ? "80" : "100"};
            if (known) args.insert(args.end(), {"--pulses", series["wImpulseQuantity"].dump()});
            const Json read = run(args);
            // All but the true count, which a recording does not have.
            EXPECT_EQ(read["chains"]["chains"], direct["chains"]["chains"]);
            EXPECT_EQ(read["series"]["lpRestoredPositions"], series["lpRestoredPositions"]);
            EXPECT_EQ(read["recording"]["scaled"], false);
        }
    }
}

TEST(Recording, AnAlphabetFileGivesTheSameSeriesAndResults) {
    for (const std::string format : {"json", "csv"}) {
        const std::string path =
            ioTemp("alphabet." + format, runCli({"alphabet", "--format", format}).out);
        for (const std::string command : {"series", "process"}) {
            const std::vector<std::string> making = {command, "--type", "4", "--noise", "30"};
            std::vector<std::string> loaded = making;
            loaded.insert(loaded.end(), {"--alphabet", path});
            EXPECT_EQ(runCli(loaded).out, runCli(making).out) << command << " with " << path;
        }
        EXPECT_EQ(runCli({"alphabet", "--alphabet", path}).out, runCli({"alphabet"}).out);
    }
}

// Etalon 3 replaced by the noisy samples where the series' second pulse (an
// etalon 3) lies: that pulse is restored, as etalon 3, where it lies.
TEST(Recording, AnEtalonCutFromTheSeriesRestoresThatPulse) {
    const Json series = run({"series", "--noise", "10", "--sequence",
                             "4,3,5,3,7,3,9,3,11,3,4,3,5,3,7,3,9,3"})["series"][0];
    const std::vector<int> noisy = series["lpNoisyData"];
    const int at = series["lpPositions"][1];
    ASSERT_EQ(series["lpEtalons"][1], 3);
    std::string row;
    for (int j = 0; j < 20; ++j)
        row += (j ? "," : "") + std::to_string(noisy[at + j]);
    std::string rows = runCli({"alphabet", "--format", "csv"}).out;
    const std::size_t third = rows.find('\n', rows.find('\n') + 1) + 1;
    rows.replace(third, rows.find('\n', third) - third, row);
    const Json restored =
        run({"process", "--samples", ioTemp("cut.csv", lines(noisy)), "--alphabet",
             ioTemp("cut_alphabet.csv", rows), "--pulses", "18", "--task", "joint"})["series"];
    EXPECT_EQ(restored["lpRestoredPositions"][1], at);
    EXPECT_EQ(restored["lpRestoredEtalons"][1], 3);
}

// Two etalons of 50 samples: a step of +100 and a square wave of +-100 (sum 0).
// The wave at 15 and 135 of a silent WAV at 1 kHz, read from sample 5: each
// match fits -E = -500,000 and etalon 1 fits +500,000 there, so both counts
// restore etalon 2 at 10 and 130 of the span, at 0.015 s and 0.135 s.
TEST(Recording, EtalonsOfFiftySamplesRestoreAHandCheckedCase) {
    std::string step, wave;
    std::vector<int> waveSamples;
    for (int j = 0; j < 50; ++j) {
        waveSamples.push_back(j % 10 < 5 ? 100 : -100);
        step += (j ? "," : "") + std::string("100");
        wave += (j ? "," : "") + std::to_string(waveSamples.back());
    }
    const std::string alphabet = ioTemp("fifty.csv", step + "\n" + wave + "\n");
    std::vector<double> recording(205, 0.0);
    for (int j = 0; j < 50; ++j)
        recording[15 + j] = recording[135 + j] = waveSamples[j];
    const std::string wav = test::writeWav("fifty.wav", SF_FORMAT_PCM_16, 1, 1000, recording);
    const std::string rows =
        "chain,pulse,position,time,etalon,cut_start,cut_end,criterion\n"
        "1,1,15,0.015,2,0,49,-1000000\n"
        "1,2,135,0.135,2,0,49,-1000000\n";
    for (const bool known : {true, false}) {
        std::vector<std::string> args = {"process", "--samples", wav,       "--alphabet", alphabet,
                                         "--from",  "5",         "--count", "200",        "--tmin",
                                         "50",      "--tmax",    "150",     "--format",   "csv"};
        if (known) args.insert(args.end(), {"--pulses", "2"});
        const test::CliResult r = runCli(args);
        ASSERT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(r.out.substr(0, rows.size()), rows) << (known ? "known" : "unknown") << " count";
    }
}

// A recording longer than a series holds, at full 16-bit depth, takes the
// whole-recording path: every pulse found, positions in the file's own index.
TEST(Recording, AWavOfAnyLengthAndDepthIsRestoredWhole) {
    const auto etalons = nlohmann::json::parse(runCli({"alphabet"}).out)["etalons"];
    const std::vector<int> shape = etalons[2]["lpData"].get<std::vector<int>>();
    // The span below starts at sample 7 and takes 110,000 of 120,000: more
    // than a made series' count could be.
    std::vector<double> samples(120000, 0.0);
    std::vector<int64_t> truth;
    for (std::size_t x = 50; x + 20 <= samples.size(); x += 100) {
        if (x + 20 <= 110000) truth.push_back(static_cast<int64_t>(x) + 7);
        for (std::size_t j = 0; j < shape.size(); ++j)
            samples[x + j] = shape[j] * 390;  // up to 32,370
    }
    std::vector<double> file(7, 0.0);
    file.insert(file.end(), samples.begin(), samples.end());
    const std::string wav = test::writeWav("long.wav", SF_FORMAT_PCM_16, 1, 360, file);
    const std::vector<std::string> base = {
        "process", "--samples", wav,        "--from", "7",      "--count", "110000",
        "--task",  "detection", "--etalon", "3",      "--tmin", "60"};
    std::vector<std::string> json = base;
    json.push_back("--progress");
    const test::CliResult r = runCli(json);
    ASSERT_EQ(r.code, 0) << r.err;
    const auto result = nlohmann::json::parse(r.out);
    EXPECT_EQ(result["recording"]["samples"], 110000);
    ASSERT_EQ(result["chains"].size(), 1u);
    EXPECT_EQ(result["chains"][0]["positions"].get<std::vector<int64_t>>(), truth);
    EXPECT_NE(r.err.find("process: " + wav + ": 50% of 110000 samples"), std::string::npos)
        << r.err;
    // The matched filter over the whole recording finds them too.
    std::vector<std::string> baseline = base;
    baseline.insert(baseline.end(), {"--method", "matched-filter"});
    const test::CliResult greedy = runCli(baseline);
    ASSERT_EQ(greedy.code, 0) << greedy.err;
    EXPECT_EQ(
        nlohmann::json::parse(greedy.out)["chains"][0]["positions"].get<std::vector<int64_t>>(),
        truth);
    // Without a Tmax: no edge conditions, the same pulses.
    std::vector<std::string> unbounded = base;
    unbounded.insert(unbounded.end(), {"--tmax", "none"});
    const test::CliResult open = runCli(unbounded);
    ASSERT_EQ(open.code, 0) << open.err;
    EXPECT_EQ(nlohmann::json::parse(open.out)["chains"][0]["positions"].get<std::vector<int64_t>>(),
              truth);

    std::vector<std::string> csv = base;
    csv.insert(csv.end(), {"--format", "csv"});
    const test::CliResult rows = runCli(csv);
    ASSERT_EQ(rows.code, 0) << rows.err;
    EXPECT_EQ(std::count(rows.out.begin(), rows.out.end(), '\n'), 1 + truth.size());
    EXPECT_NE(rows.out.find("\n1,400,39957,110.991667,3,0,19,"), std::string::npos);
}

// Several files: each restored as alone, some at once, in the order given,
// one header and a file column; a file that fails is said and the rest kept.
TEST(Recording, SeveralFilesAreEachRestoredAsAloneInTheirOrder) {
    std::vector<double> values(2000, 0.0);
    for (std::size_t x = 30; x + 20 <= values.size(); x += 150)
        for (int j = 0; j < 20; ++j)
            values[x + j] = 60;
    const std::string a = test::writeWav("a.wav", SF_FORMAT_PCM_16, 1, 1000, values);
    const std::string b = ioTemp("b.csv", lines(std::vector<int>(1500, 3)));
    const std::string missing = ::testing::TempDir() + "missing.csv";
    const std::vector<std::string> base = {"process", "--format", "csv", "--task", "joint"};
    std::string expected = std::string("file,") + io::kResultsCsvHeader + "\n";
    for (const std::string& file : {a, b}) {
        std::vector<std::string> alone = base;
        alone.insert(alone.end(), {"--samples", file});
        const test::CliResult r = runCli(alone);
        ASSERT_EQ(r.code, 0) << r.err;
        std::istringstream rows(r.out);
        std::string row;
        std::getline(rows, row);  // the header
        while (std::getline(rows, row))
            expected += file + "," + row + "\n";
    }
    std::vector<std::string> together = base;
    together.insert(together.end(), {"--threads", "2", "--samples", a, missing, b});
    const test::CliResult r = runCli(together);
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.out, expected);
    EXPECT_NE(r.err.find(missing), std::string::npos) << r.err;
}

TEST(Recording, RefusalsExitTwoWithOneLine) {
    const std::string csv = ioTemp("plain.csv", lines(std::vector<int>(300, 20)));
    const std::string loud = ioTemp("loud.csv", lines(std::vector<int>(3000, 30000)));
    const std::string single = ioTemp("single.csv", "1,2,3\n");
    std::string thousands = "1000";
    for (int j = 1; j < 20; ++j)
        thousands += ",1000";
    const std::string strong = ioTemp("strong.csv", thousands + "\n");
    std::string longText;
    for (int i = 0; i < 33000; ++i)
        longText += "1\n";
    const std::string longFile = ioTemp("long.csv", longText);
    const std::string ragged = ioTemp("ragged.csv", "1,2,3\n1,2\n");
    const std::string noEnding = ioTemp("samples.data", "1\n");
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const std::string nanWav = test::writeWav("nan.wav", SF_FORMAT_FLOAT, 1, 100, {nan, 0.5, 1});
    const std::string infWav = test::writeWav("inf.wav", SF_FORMAT_FLOAT, 1, 100, {0.5, -inf, 1});
    const std::vector<std::pair<std::vector<std::string>, std::string>> refusals = {
        {{"--samples", noEnding}, "the ending does not say the format"},
        {{"--samples", nanWav}, nanWav + ": sample 0 is nan, not a number"},
        {{"--samples", infWav}, infWav + ": sample 1 is -inf, not a number"},
        {{"--samples", csv, "--type", "4"}, "--type: --samples processes a recording"},
        {{"--samples", loud, "--tmin", "20", "--pulses", "100"},
         "the largest sample magnitude that fits is"},
        {{"--samples", longFile, "--pulses", "3"}, "choose a span with --from"},
        {{"--samples", csv, "--tmax", "none", "--pulses", "3"}, "--tmax none: only the unknown"},
        {{"--alphabet", strong, "--type", "4", "--length", "3000"}, "up to 75 pulses would wrap"},
        {{"--samples", csv, "--pulses", "40"}, "a count of 40 pulses is outside 1..8"},
        {{"--samples", csv, "--column", "2"}, "line 1: no column 2"},
        {{"--samples", csv, "--tmin", "10", "--tmax", "15"}, "no series of etalons of 20"},
        {{"--alphabet", ragged}, ragged + ": line 2: 2 samples"},
        {{"--alphabet", single, "--etalons", "1,2"}, "--etalons: etalon 2 is outside 1..1"},
        {{"--column", "2"}, "--column goes with --samples"},
        {{"--format", "csv", "--count", "2"}, "--format csv: one series at a time"},
        {{"--count", "100001"}, "--count: 100001 is outside 1..100000"},
        {{"--samples", csv, "--memory-limit", "1K"}, "1 KB is the limit set by --memory-limit"},
    };
    for (const auto& [options, expected] : refusals) {
        std::vector<std::string> args = {"process"};
        args.insert(args.end(), options.begin(), options.end());
        const test::CliResult r = runCli(args);
        EXPECT_EQ(r.code, 2) << expected;
        EXPECT_NE(r.err.find(expected), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_EQ(r.out, "");
    }
}

}  // namespace
}  // namespace etalon::cli
