// `etalon-cli simulate`: independent of the thread count, equal to the
// step-by-step driver, and refusing grids no run can use.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "oracle/oracle_processing.h"
#include "oracle/oracle_simulation.h"
#include "pulses/alphabet.h"
#include "series/series_header.h"
#include "support/cli_runner.h"
#include "support/recording_sink.h"

namespace etalon::cli {
namespace {

using Json = nlohmann::json;
using test::runCli;

Json withoutTimes(Json j) {
    j["simulation"].erase("startTime");
    j["simulation"].erase("endTime");
    return j;
}

// The grid on each thread count, without the run's times; a failed run is
// reported and left out.
std::vector<Json> runOnThreads(const std::vector<std::string>& grid,
                               std::initializer_list<const char*> threadCounts) {
    std::vector<Json> runs;
    for (const char* threads : threadCounts) {
        auto args = grid;
        args.insert(args.end(), {"--threads", threads});
        const test::CliResult r = runCli(args);
        EXPECT_EQ(r.code, 0) << r.err;
        if (r.code == 0) runs.push_back(withoutTimes(Json::parse(r.out)));
    }
    return runs;
}

TEST(Simulate, SameResultForAnyThreadCountAndAsTheStepByStepDriver) {
    const std::vector<std::string> grid = {"simulate", "--type",        "4",    "--length",
                                           "600",      "--pulses-from", "5",    "--pulses-to",
                                           "9",        "--pulses-step", "2",    "--noise-steps",
                                           "3",        "--noise-step",  "40",   "--repeats",
                                           "4",        "--etalons",     "2,5,9"};
    const std::vector<Json> runs = runOnThreads(grid, {"1", "2", "4"});
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[0], runs[1]);
    EXPECT_EQ(runs[0], runs[2]);

    // The same grid, run step by step from the streams as they stand after the alphabet.
    test::RecordingSink sink;
    RandomStreams streams;
    std::array<PulseHeader, kEtalonsNumber> alphabet{};
    makeAlphabet(sink, kPulseAmplitude, kEtalonsNumber, kEtalonLength, alphabet,
                 streams.wAlphabetNoiseSeed);
    auto series = getCutOffSeriesHeader(sink, 20, 20, 40, 181, 600, nullptr);
    auto errors = getRestErrHeader(sink, 3, 3, 4, nullptr);
    ASSERT_TRUE(initRestErrHeader(sink, 3, 5, 2, 3, 0, 40, 4, errors.get()));
    const std::vector<uint16_t> list = {2, 5, 9};
    ASSERT_EQ(
        oracle::statCutoffVarnel(sink, errors.get(), 20, alphabet, 3, list.data(), 4, 2, 100, 100,
                                 series, streams, {}, oracle::referenceRestoringProcedures()),
        1);
    const Json& sim = runs[0]["simulation"];
    EXPECT_EQ(sim["ifComplete"], 1);
    EXPECT_EQ(sim["wPulseValues"], Json({5, 7, 9}));
    EXPECT_EQ(sim["lpNoiseLevels"], Json({0, 40, 80}));
    for (std::size_t v = 0; v < 3; ++v) {
        const auto row = [](std::span<const uint32_t> cells) {
            return Json(std::vector<uint32_t>(cells.begin(), cells.end()));
        };
        EXPECT_EQ(sim["lpErrors"][v], row(errors->lpErrors(v))) << v;
        EXPECT_EQ(sim["lpDetectionErrors"][v], row(errors->lpDetectionErrors(v))) << v;
        EXPECT_EQ(sim["lpRecognitionErrors"][v], row(errors->lpRecognitionErrors(v))) << v;
    }
    EXPECT_EQ(runs[0]["series"]["wImpulseQuantity"], series->wImpulseQuantity);
    EXPECT_EQ(runs[0]["series"]["wRestoredQuantity"], series->wRestoredQuantity);

    // CSV: one row per grid point, noise level by noise level.
    auto args = grid;
    args.insert(args.end(), {"--format", "csv"});
    const test::CliResult csv = runCli(args);
    ASSERT_EQ(csv.code, 0) << csv.err;
    EXPECT_EQ(csv.out.rfind("noise,pulses,restored_error,detection_error,recognition_errors\n"
                            "0,5,",
                            0),
              0u)
        << csv.out;
    EXPECT_EQ(std::count(csv.out.begin(), csv.out.end(), '\n'), 10);
    EXPECT_NE(csv.out.find("\n80,9," + std::to_string(errors->lpErrors(2)[2]) + "," +
                           std::to_string(errors->lpDetectionErrors(2)[2]) + ","),
              std::string::npos);
}

TEST(Simulate, TheBaselineIsPrintedBesideAnUnchangedExactGrid) {
    const std::vector<std::string> grid = {
        "simulate", "--length",     "600", "--pulses-from", "5", "--pulses-to", "7", "--noise-from",
        "20",       "--noise-step", "40",  "--noise-steps", "2", "--repeats",   "3", "--baseline"};
    const std::vector<Json> runs = runOnThreads(grid, {"1", "2"});
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0], runs[1]);
    auto exactOnly = grid;
    exactOnly.pop_back();
    const test::CliResult plain = runCli(exactOnly);
    ASSERT_EQ(plain.code, 0) << plain.err;
    Json withBaseline = runs[0];
    const Json baseline = withBaseline["baseline"];
    withBaseline.erase("baseline");
    EXPECT_EQ(withBaseline, withoutTimes(Json::parse(plain.out)));
    EXPECT_EQ(baseline["lpErrors"].size(), 2u);
    EXPECT_EQ(baseline["truePulses"], Json({{15, 18, 21}, {15, 18, 21}}));
    const double share = baseline["exactPositionShare"]["matched-filter"][0][0];
    EXPECT_EQ(share, baseline["exactPositions"]["matched-filter"][0][0].get<double>() / 15);

    auto args = grid;
    args.insert(args.end(), {"--format", "csv"});
    const test::CliResult csv = runCli(args);
    ASSERT_EQ(csv.code, 0) << csv.err;
    const Json& exact = withBaseline["simulation"];
    const auto cell = [](const Json& g, const char* key) { return g[key][0][0].dump() + ","; };
    EXPECT_EQ(csv.out.rfind("noise,pulses,restored_error,detection_error,recognition_errors,"
                            "baseline_restored_error,baseline_detection_error,"
                            "baseline_recognition_errors,exact_position_share,"
                            "baseline_exact_position_share\n20,5," +
                                cell(exact, "lpErrors") + cell(exact, "lpDetectionErrors") +
                                cell(exact, "lpRecognitionErrors") + cell(baseline, "lpErrors"),
                            0),
              0u)
        << csv.out;
}

TEST(Simulate, RefusesWhatTheGridAndTheDriverSet) {
    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
             {"simulate", "--noise", "5"},
             {"simulate", "--pulses", "5"},
             {"simulate", "--count", "2"},
             {"simulate", "--sequence", "1,2"},
             {"simulate", "--input", "x.json"},
             {"simulate", "--pulses-to", "31"},  // 30 fit the default geometry
             {"simulate", "--pulses-from", "20", "--pulses-to", "10"},
             {"simulate", "--pulses-from", "0"},
             {"simulate", "--pulses-from", "5"},  // 6 is the fewest the default geometry holds
             {"simulate", "--repeats", "0"},
             {"simulate", "--noise-steps", "70000"},
             {"simulate", "--noise-from", "5000", "--noise-step", "100"},
             {"simulate", "--format", "xml"},
             {"simulate", "--baseline", "--type", "36", "--task", "detection"}}) {
        const test::CliResult r = runCli(bad);
        EXPECT_EQ(r.code, 2) << testing::PrintToString(bad) << r.err;
        EXPECT_TRUE(r.out.empty());
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
    // Tuples detection without a pattern: the driver's own refusal.
    const test::CliResult r = runCli({"simulate", "--type", "36", "--task", "detection",
                                      "--repeats", "1", "--noise-steps", "1"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("Error: selected Subset is absence!"), std::string::npos) << r.err;

    // The baseline's tables are planned for: 5 MB holds the exact detection
    // of 32,767 samples (4 MB) but not both (7 MB).
    const std::vector<std::string> tight = {
        "simulate",  "--length", "32767",         "--task", "detection",      "--pulses-to", "182",
        "--repeats", "1",        "--noise-steps", "1",      "--memory-limit", "5M"};
    EXPECT_EQ(runCli(tight).code, 0);
    std::vector<std::string> both = tight;
    both.push_back("--baseline");
    const test::CliResult refused = runCli(both);
    EXPECT_EQ(refused.code, 2);
    EXPECT_NE(refused.err.find("needs 7 MB of memory, but 5 MB is the limit set by --memory-limit"),
              std::string::npos)
        << refused.err;
}

}  // namespace
}  // namespace etalon::cli
