#include "cli/commands.h"
#include "support/cli_runner.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdio_ext.h>
#include <unistd.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "app/app_state.h"
#include "series/series_generator.h"
#include "series/subsets.h"
#include "support/recording_sink.h"
#include "support/series_fixture.h"

namespace etalon::cli {
namespace {

using Result = test::CliResult;
using test::runCli;

std::vector<int16_t> firstEntries(const std::vector<int16_t>& v, std::size_t n) {
    return {v.begin(), v.begin() + n};
}

void expectSameSeries(const nlohmann::json& json, const SeriesHeader& s) {
    const std::size_t q = s.wImpulseQuantity;
    EXPECT_EQ(json["dwSeriesSize"], s.dwSeriesSize);
    EXPECT_EQ(json["wImpulseQuantity"], s.wImpulseQuantity);
    EXPECT_EQ(json["wMinPulses"], s.wMinPulses);
    EXPECT_EQ(json["wMaxPulses"], s.wMaxPulses);
    EXPECT_EQ(json["wNoiseLevel"], s.wNoiseLevel);
    EXPECT_EQ(json["lpPureData"].get<std::vector<int16_t>>(),
              firstEntries(s.lpPureData, s.dwSeriesSize));
    EXPECT_EQ(json["lpNoisyData"].get<std::vector<int16_t>>(),
              firstEntries(s.lpNoisyData, s.dwSeriesSize));
    EXPECT_EQ(json["lpPositions"].get<std::vector<int16_t>>(), firstEntries(s.lpPositions, q));
    EXPECT_EQ(json["lpMinPositions"].get<std::vector<int16_t>>(),
              firstEntries(s.lpMinPositions, q));
    EXPECT_EQ(json["lpMaxPositions"].get<std::vector<int16_t>>(),
              firstEntries(s.lpMaxPositions, q));
    EXPECT_EQ(json["lpEtalons"].get<std::vector<int16_t>>(), firstEntries(s.lpEtalons, q));
    EXPECT_EQ(json["lpCutStarts"].get<std::vector<int16_t>>(), firstEntries(s.lpCutStarts, q));
    EXPECT_EQ(json["lpCutEnds"].get<std::vector<int16_t>>(), firstEntries(s.lpCutEnds, q));
    EXPECT_EQ(json["wSubsetLength"], s.wSubsetLength);
}

TEST(Cli, AlphabetListsTwentyEtalons) {
    const Result r = runCli({"alphabet"});
    ASSERT_EQ(r.code, 0) << r.err;
    const auto json = r.json();
    ASSERT_EQ(json["etalons"].size(), 20u);
    EXPECT_EQ(json["etalons"][0]["wNumber"], 1);
    EXPECT_EQ(json["etalons"][0]["wSize"], 20);
    EXPECT_EQ(json["etalons"][0]["lpData"], std::vector<int>(20, 60));
    EXPECT_EQ(json["etalons"][10]["lpData"][0], -55);
    EXPECT_EQ(json["etalons"][19]["wNumber"], 20);
}

TEST(Cli, DefaultSeriesIsTheWorkbenchsFirstSeries) {
    AppState state;
    test::RecordingSink sink;
    createStartupState(state, sink);
    const Result r = runCli({"series"});
    ASSERT_EQ(r.code, 0) << r.err;
    const auto json = r.json();
    ASSERT_EQ(json["series"].size(), 1u);
    expectSameSeries(json["series"][0], *state.lpSeriesHeader);
    EXPECT_EQ(json["series"][0]["wTmin"], 40);
    EXPECT_EQ(json["series"][0]["wTmax"], 181);
    EXPECT_EQ(json["series"][0]["wImpulseSize"], 20);
    EXPECT_EQ(json["series"][0]["wAmplitude"], 128);
    EXPECT_EQ(json["series"][0]["lpSelectedSubset"].size(), 0u);
}

TEST(Cli, SeriesCarryOnWithNoiseSequenceAndSubset) {
    const Result r = runCli({"series", "--type", "2", "--length", "600", "--level", "75", "--noise",
                             "35", "--sequence", "3,21,5", "--subset", "7,8", "--employment", "2",
                             "--init-position", "4", "--count", "3"});
    ASSERT_EQ(r.code, 0) << r.err;
    const auto json = r.json();
    ASSERT_EQ(json["series"].size(), 3u);

    // The same steps straight on the core.
    test::SeriesFixture f;
    std::fill(f.sequence.begin(), f.sequence.end(), 1);
    f.sequence[0] = 3;
    f.sequence[1] = 21;
    f.sequence[2] = 5;
    f.series = getCutOffSeriesHeader(f.sink, 20, 20, 40, 181, 600, nullptr);
    setSelectedSubset(std::vector<int32_t>{7, 8}, 2, 4, f.series.get());
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        f.make(f.request(600, 9, 40, 181, 75));
        addSeriesNoise(35, 128, f.series.get(), f.streams.wNoiseSeed);
        expectSameSeries(json["series"][i], *f.series);
        EXPECT_EQ(json["series"][i]["lpSelectedSubset"], (std::vector<int>{7, 8}));
        EXPECT_EQ(json["series"][i]["lpEtalons"][1], 1);  // 21 became 1
        EXPECT_EQ(json["series"][i]["lpEtalons"][3], 7);
    }
    EXPECT_NE(json["series"][0]["lpPositions"], json["series"][1]["lpPositions"]);
}

TEST(Cli, UnfixedTypesDrawTheirCount) {
    const Result r = runCli({"series", "--type", "8", "--length", "200", "--count", "40"});
    ASSERT_EQ(r.code, 0) << r.err;
    std::set<int> counts;
    const auto json = r.json();
    for (const auto& s : json["series"])
        counts.insert(s["wImpulseQuantity"].get<int>());
    EXPECT_EQ(counts, (std::set<int>{1, 2, 3, 4, 5}));
}

// Settings no series can be made with are refused before any work, in one
// line naming the options, by every subcommand that makes series.
TEST(Cli, RefusesAGeometryNoSeriesFits) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--tmin", "200"}, "--tmin 200 is above --tmax 181 (default)"},
        {{"--tmin", "100", "--tmax", "50"}, "--tmin 100 is above --tmax 50"},
        {{"--type", "4", "--length", "10"}, "--length 10 is below the etalon length 20"},
        {{"--tmin", "10", "--tmax", "15"}, "--tmax 15 is below the etalon length 20"},
        {{"--length", "105", "--tmin", "20", "--tmax", "20"},
         "--length 105 with --tmin 20 and --tmax 20 needs at least 6 pulses and holds at most 5"},
    };
    for (const char* command : {"series", "process", "simulate"}) {
        for (const auto& [options, why] : cases) {
            std::vector<std::string> args = {command};
            args.insert(args.end(), options.begin(), options.end());
            SCOPED_TRACE(testing::PrintToString(args));
            const Result r = runCli(args);
            EXPECT_EQ(r.code, 2);
            EXPECT_TRUE(r.out.empty());
            EXPECT_EQ(r.err, "etalon-cli: " + why + ": no series can be made\n");
        }
    }
}

// An empty list would silently mean what leaving the option out means.
TEST(Cli, RefusesAnEmptyList) {
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"process", "--etalons", ""},
                                               {"simulate", "--etalons", " "},
                                               {"process", "--subsets", ""},
                                               {"series", "--subset", ""},
                                               {"series", "--sequence", ""}}) {
        const Result r = runCli(args);
        EXPECT_EQ(r.code, 2) << testing::PrintToString(args);
        EXPECT_TRUE(r.out.empty());
        EXPECT_EQ(
            r.err.rfind("etalon-cli: " + args[1] + ": the list is empty; leave the option out", 0),
            0u)
            << r.err;
    }
    EXPECT_EQ(
        runCli({"process", "--etalons", ""}).err,
        "etalon-cli: --etalons: the list is empty; leave the option out for all 20 etalons\n");
}

TEST(Cli, UsageShowsTheSubcommandAsRequired) {
    const Result r = runCli({"--help"});
    EXPECT_EQ(r.code, 0);
    EXPECT_NE(r.out.find("Usage: etalon-cli [OPTIONS] SUBCOMMAND\n"), std::string::npos) << r.out;
}

TEST(Cli, RefusalsAndBadOptions) {
    Result r;
    for (const std::vector<std::string>& bad :
         std::vector<std::vector<std::string>>{{"series", "--type", "3"},
                                               {"series", "--length", "abc"},
                                               {"series", "--level", "101"},
                                               {"series", "--noise", "-5"},
                                               {"series", "--sequence", "1,x,3"},
                                               {"series", "--subset", "1,25"},
                                               {"series", "--employment", "6"},
                                               {"series", "--tmin", "0"},
                                               {"series", "--bogus"},
                                               {"frobnicate"},
                                               // Beyond what a series can hold.
                                               {"series", "--length", "40000"},
                                               {"series", "--tmax", "32768"},
                                               {"series", "--noise", "5440"},
                                               {"series", "--length", "200", "--pulses", "6"},
                                               {"process", "--etalon", "21"},
                                               {"process", "--count", "2", "--input", "x.json"}}) {
        r = runCli(bad);
        EXPECT_EQ(r.code, 2) << testing::PrintToString(bad);
        EXPECT_TRUE(r.out.empty());
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_EQ(r.err.rfind("etalon-cli: ", 0), 0u) << r.err;
    }

    r = runCli({"series", "--length", "40000"});
    EXPECT_EQ(r.err, "etalon-cli: --length: 40000 is outside 1..32767\n");
    r = runCli({"series", "--length", "200", "--pulses", "6"});
    EXPECT_NE(r.err.find("--pulses: 6 is outside 1..5"), std::string::npos) << r.err;
    // The largest values are accepted; unfixed types draw their count.
    EXPECT_EQ(runCli({"series", "--noise", "5439", "--length", "200"}).code, 0);
    EXPECT_EQ(runCli({"series", "--type", "4", "--pulses", "40"}).code, 0);

    // No subcommand: the usage with the list of subcommands.
    r = runCli({});
    EXPECT_EQ(r.code, 2);
    for (const char* name : {"alphabet", "series", "process"})
        EXPECT_NE(r.err.find(std::string("\n  ") + name), std::string::npos) << r.err;

    // Help names values and ranges in words, not in the parser's notation.
    r = runCli({"process", "--help"});
    EXPECT_EQ(r.code, 0);
    EXPECT_NE(r.out.find("--employment MODE"), std::string::npos);
    EXPECT_NE(r.out.find("1..32767"), std::string::npos);
    EXPECT_EQ(r.out.find("UINT"), std::string::npos) << r.out;
}

// Runs the command line with standard output on `path`, as the shell's
// `etalon-cli args > path` does: through std::cout and descriptor 1.
Result runWithStandardOutputOn(const std::string& path, std::vector<std::string> args) {
    args.insert(args.begin(), "etalon-cli");
    std::vector<const char*> argv;
    for (const auto& a : args)
        argv.push_back(a.c_str());
    std::cout.flush();
    const int saved = dup(STDOUT_FILENO);
    const int target = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (saved < 0 || target < 0) return {-1, "", "cannot redirect standard output to " + path};
    dup2(target, STDOUT_FILENO);
    close(target);
    std::ostringstream err;
    const int code = run(static_cast<int>(argv.size()), argv.data(), std::cout, err);
    // What a failed write left behind must not reach the test's own output.
    __fpurge(stdout);
    clearerr(stdout);
    std::cout.clear();
    dup2(saved, STDOUT_FILENO);
    close(saved);
    return {code, "", err.str()};
}

// A full device fails every subcommand's output, help included, with exit 1;
// a file gets every byte the subcommand prints. (Simulate's JSON holds the
// time of the run, so its CSV stands for it.)
TEST(Cli, AFailedWriteIsAnErrorNamingStandardOutput) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full on this system";
    const std::string file = ::testing::TempDir() + "etalon_standard_output.txt";
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"alphabet"},
             {"series", "--count", "3"},
             {"process", "--count", "3"},
             {"simulate", "--length", "200", "--repeats", "2", "--format", "csv"},
             {"series", "--help"}}) {
        SCOPED_TRACE(testing::PrintToString(args));
        const Result full = runWithStandardOutputOn("/dev/full", args);
        EXPECT_EQ(full.code, 1);
        EXPECT_EQ(full.err, "etalon-cli: cannot write standard output: No space left on device\n");

        const Result written = runWithStandardOutputOn(file, args);
        EXPECT_EQ(written.code, 0) << written.err;
        std::ifstream in(file, std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(in), {}};
        EXPECT_EQ(bytes, runCli(args).out);
    }
    std::filesystem::remove(file);
}

}  // namespace
}  // namespace etalon::cli
