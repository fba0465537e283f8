// `etalon-cli process` against the reference procedures, made series against
// the same series read back, and refused files.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <unistd.h>
#include <algorithm>
#include <utility>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "base/memory_budget.h"
#include "cli/commands.h"
#include "oracle/oracle_processing.h"
#include "pulses/alphabet.h"
#include "pulses/random_streams.h"
#include "series/subsets.h"
#include "support/cli_runner.h"

namespace etalon::cli {
namespace {

using Json = nlohmann::json;

using Result = test::CliResult;
using test::runCli;

std::string writeTemp(const std::string& name, const std::string& text) {
    const std::string path = ::testing::TempDir() + name;
    std::ofstream(path) << text;
    return path;
}

std::vector<int16_t> ints(const Json& a) {
    return a.get<std::vector<int16_t>>();
}

// A series record holding what `series` printed.
std::unique_ptr<SeriesHeader> seriesFrom(const Json& j) {
    SilentSink sink;
    auto s =
        getCutOffSeriesHeader(sink, 20, 20, j["wTmin"], j["wTmax"], j["dwSeriesSize"], nullptr);
    s->wImpulseSize = j["wImpulseSize"];
    s->wImpulseQuantity = j["wImpulseQuantity"];
    s->wMinPulses = j["wMinPulses"];
    s->wMaxPulses = j["wMaxPulses"];
    auto fill = [](std::vector<int16_t>& to, const Json& from) {
        const auto v = ints(from);
        std::copy(v.begin(), v.end(), to.begin());
    };
    fill(s->lpNoisyData, j["lpNoisyData"]);
    fill(s->lpMinPositions, j["lpMinPositions"]);
    fill(s->lpMaxPositions, j["lpMaxPositions"]);
    return s;
}

struct Case {
    std::string task;
    int type;
};

// The procedure the processing command runs, written out once more.
int reference(const Case& c, std::span<const PulseHeader> alphabet, uint16_t level,
              ChainsHeader* chains, SeriesHeader& s) {
    const std::vector<uint16_t> all = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10,
                                       11, 12, 13, 14, 15, 16, 17, 18, 19, 20};
    const std::vector<uint16_t> single = {4};
    const std::vector<int32_t> pattern = {3, 7, 12};
    const std::vector<int32_t> other = {5, 9};
    const std::vector<std::span<const int32_t>> stored = {other, pattern};
    const bool tuplesSeries = c.type == 36 || c.type == 40;
    const bool unfixed = c.type == 4 || c.type == 8;
    int32_t debugging = 0;
    const SearchBounds bounds{.tmin = 40, .tmax = 181, .processingLevel = level};
    const TuplesSearch search{.proceeding = 2, .bounds = bounds};
    if (c.task == "recognition" && tuplesSeries) {
        return c.type == 40
                   ? oracle::TuplesRecognition(alphabet, stored, search, chains, s, debugging)
                   : oracle::recognizeKnownNumberTuples(alphabet, stored, search, chains, s);
    }
    if (c.task == "detection" && tuplesSeries) {
        return c.type == 40
                   ? oracle::TuplesDetection(alphabet, pattern, search, chains, s, debugging)
                   : oracle::detectKnownNumberTuples(alphabet, pattern, search, chains, s);
    }
    if (c.task == "recognition") {
        return unfixed ? oracle::recognizeUnknownNumberChain(alphabet, all, bounds, chains, s)
                       : oracle::recognizeKnownNumberChain(alphabet, all, bounds, chains, s);
    }
    const std::vector<uint16_t>& list = c.task == "detection" ? single : all;
    return unfixed ? oracle::detectUnknownNumberChain(alphabet, list, bounds, chains, s)
                   : oracle::detectKnownNumberChain(alphabet, list, bounds, chains, s);
}

TEST(Process, AgreesWithTheReferenceForEveryTaskAndSeriesType) {
    std::array<PulseHeader, kEtalonsNumber> alphabet{};
    {
        SilentSink sink;
        int16_t seed = RandomStreams{}.wAlphabetNoiseSeed;
        makeAlphabet(sink, kPulseAmplitude, 20, 20, alphabet, seed);
    }
    for (const std::string task : {"detection", "recognition", "joint", "processing"}) {
        for (const int type : {1, 2, 4, 8, 16, 32, 36, 40}) {
            const std::string at = task + " on type " + std::to_string(type);
            const bool cut = type == 2 || type == 8;
            const std::vector<std::string> making = {"--type",     std::to_string(type),
                                                     "--length",   "600",
                                                     "--noise",    "25",
                                                     "--level",    cut ? "75" : "100",
                                                     "--sequence", "6,3,3,8,3,3,3,1,3,3,3,3,3,3,3",
                                                     "--subset",   "3,7,12"};
            std::vector<std::string> made = {"process", "--task",       task,         "--etalon",
                                             "4",       "--subsets",    "5,9;3,7,12", "--pick",
                                             "2",       "--proceeding", "2"};
            made.insert(made.end(), making.begin(), making.end());
            const Result direct = runCli(made);
            ASSERT_EQ(direct.code, 0) << at << direct.err;

            std::vector<std::string> seriesArgs = {"series"};
            seriesArgs.insert(seriesArgs.end(), making.begin(), making.end());
            const Result printed = runCli(seriesArgs);
            ASSERT_EQ(printed.code, 0) << at;
            const std::string file = writeTemp("process_series.json", printed.out);
            const Result fromFile =
                runCli({"process", "--input", file, "--type", std::to_string(type), "--task", task,
                        "--etalon", "4", "--level", cut ? "75" : "100", "--subsets", "5,9;3,7,12",
                        "--proceeding", "2"});
            ASSERT_EQ(fromFile.code, 0) << at << fromFile.err;
            EXPECT_EQ(Json::parse(fromFile.out), Json::parse(direct.out)) << at;

            // The same series through the reference.
            const Json out = Json::parse(direct.out);
            auto series = seriesFrom(Json::parse(printed.out)["series"][0]);
            SilentSink sink;
            auto chains = getChainsHeader(sink, 10, series->wMaxPulses, nullptr);
            const int returned =
                reference({task, type}, alphabet, cut ? 75 : 100, chains.get(), *series);
            EXPECT_EQ(out["returned"], returned) << at;
            const Json& s = out["series"];
            ASSERT_EQ(s["wRestoredQuantity"], series->wRestoredQuantity) << at;
            const std::size_t n = series->wRestoredQuantity;
            auto first = [&](const std::vector<int16_t>& v, std::size_t k) {
                return std::vector<int16_t>(v.begin(), v.begin() + k);
            };
            EXPECT_EQ(ints(s["lpRestoredPositions"]), first(series->lpRestoredPositions, n)) << at;
            EXPECT_EQ(ints(s["lpRestoredEtalons"]), first(series->lpRestoredEtalons, n)) << at;
            EXPECT_EQ(ints(s["lpRestoredCutStarts"]), first(series->lpRestoredCutStarts, n)) << at;
            EXPECT_EQ(ints(s["lpRestoredCutEnds"]), first(series->lpRestoredCutEnds, n)) << at;
            EXPECT_EQ(s["wRestoredTuples"], series->wRestoredTuples) << at;
            EXPECT_EQ(s["wTupleCriterion"], series->wTupleCriterion) << at;
            const Json& c = out["chains"];
            ASSERT_EQ(c["wPretenders"], chains->wPretenders) << at;
            EXPECT_EQ(c["wQuanPulses"], chains->wQuanPulses) << at;
            EXPECT_EQ(c["wSeekingPulsesQuantity"], chains->wSeekingPulsesQuantity) << at;
            for (std::size_t k = 0; k < chains->wPretenders; ++k) {
                EXPECT_EQ(c["chains"][k]["distance"], chains->distance(k)) << at;
                const auto positions = chains->positionsList(k);
                EXPECT_EQ(ints(c["chains"][k]["positionsList"]),
                          std::vector<int16_t>(positions.begin(),
                                               positions.begin() + chains->pulsesQuantity(k)))
                    << at;
            }
        }
    }
}

// Tuples detection tries the pattern given with --subset whole, not the copy
// the series record keeps, which is cut to the series' largest pulse count.
TEST(Process, TuplesDetectionSearchesWithTheWholePattern) {
    const auto ranked = [](const Result& r) {
        std::vector<std::pair<int, std::vector<int>>> chains;
        const Json out = Json::parse(r.out);
        for (const Json& c : out["chains"]["chains"])
            chains.emplace_back(c["distance"], c["pulsesList"].get<std::vector<int>>());
        return chains;
    };
    // One pulse fits, at most two could: every shift of 1,2,3 is tried.
    const Result three =
        runCli({"process", "--length", "100", "--tmin", "80", "--tmax", "80", "--type", "36",
                "--task", "detection", "--proceeding", "2", "--subset", "1,2,3"});
    ASSERT_EQ(three.code, 0) << three.err;
    EXPECT_EQ(ranked(three), (std::vector<std::pair<int, std::vector<int>>>{
                                 {-72000, {1}}, {-60366, {3}}, {72000, {2}}}));

    // Ten members on a series that holds two pulses: ten shifts, each a pair.
    const Result ten = runCli({"process", "--length", "120", "--tmin", "60", "--tmax", "80",
                               "--type", "36", "--task", "detection", "--proceeding", "2",
                               "--pulses", "2", "--subset", "1,2,3,4,5,6,7,8,9,10"});
    ASSERT_EQ(ten.code, 0) << ten.err;
    const auto chains = ranked(ten);
    ASSERT_EQ(chains.size(), 10u);
    std::set<int> firsts;
    for (const auto& [distance, etalons] : chains) {
        ASSERT_EQ(etalons.size(), 2u);
        EXPECT_EQ(etalons[1], etalons[0] % 10 + 1);
        firsts.insert(etalons[0]);
    }
    EXPECT_EQ(firsts.size(), 10u);
}

// Work past the memory budget is refused before it starts: exit 2, one line,
// nothing printed; the budget comes from the option or the variable.
TEST(Process, WorkPastTheMemoryBudgetIsRefusedWithOneLine) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"process", "--length", "32767", "--tmin", "1", "--memory-limit", "50M"},
         "50 MB is the limit set by --memory-limit. Tmin "},
        {{"simulate", "--memory-limit", "100K"}, "100 KB is the limit set by --memory-limit."},
        {{"process", "--memory-limit", "2Q"}, "'2Q' is no size"},
        {{"process"}, "100 KB is the limit set by ETALON_MEMORY_LIMIT."},
    };
    for (const auto& [args, said] : cases) {
        SCOPED_TRACE(args.back());
        if (args.size() == 1) setenv(kMemoryLimitVariable, "100K", 1);
        const test::CliResult r = test::runCli(args);
        unsetenv(kMemoryLimitVariable);
        EXPECT_EQ(r.code, 2);
        EXPECT_TRUE(r.out.empty());
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_NE(r.err.find(said), std::string::npos) << r.err;
    }
}

TEST(Process, RefusesBadFilesWithOneLine) {
    const Result printed = runCli({"series", "--length", "200"});
    ASSERT_EQ(printed.code, 0);
    const Json good = Json::parse(printed.out);
    auto variant = [&](auto change) {
        Json j = good;
        change(j["series"][0]);
        return j.dump();
    };
    const std::vector<std::pair<std::string, std::string>> files = {
        {"not json", "{\"series\": ["},
        {"missing field", variant([](Json& s) { s.erase("lpNoisyData"); })},
        {"short array", variant([](Json& s) { s["lpPositions"].erase(0); })},
        {"position outside", variant([](Json& s) { s["lpMaxPositions"][0] = 190; })},
        {"etalon 21", variant([](Json& s) { s["lpEtalons"][0] = 21; })},
        {"window outside", variant([](Json& s) { s["lpCutEnds"][0] = 20; })},
        {"text for a number", variant([](Json& s) { s["wTmin"] = "forty"; })},
        {"two series", "{\"series\": [{}, {}]}"},
        {"subset etalon", variant([](Json& s) {
             s["wSubsetLength"] = 1;
             s["lpSelectedSubset"] = Json::array({0});
         })},
    };
    for (const auto& [what, text] : files) {
        const std::string path = writeTemp("bad_series.json", text);
        const Result r = runCli({"process", "--input", path});
        EXPECT_EQ(r.code, 2) << what;
        EXPECT_TRUE(r.out.empty()) << what;
        EXPECT_EQ(r.err.rfind("etalon-cli: ", 0), 0u) << what << ": " << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << what << ": " << r.err;
    }
    const Result none = runCli({"process", "--input", ::testing::TempDir() + "no_such_file.json"});
    EXPECT_EQ(none.code, 2);

    // Tuples tasks need their patterns.
    EXPECT_EQ(runCli({"process", "--type", "36", "--task", "detection"}).code, 2);
    EXPECT_EQ(runCli({"process", "--type", "40", "--task", "recognition", "--subset", "1,2"}).code,
              2);
    EXPECT_EQ(runCli({"process", "--etalons", "1,25"}).code, 2);
}

// A file whose fields disagree with each other, or hold what the command line
// would refuse, is refused naming the field and its value.
TEST(Process, RefusesSeriesFilesWhoseFieldsDisagree) {
    const Result printed = runCli({"series", "--length", "200"});
    ASSERT_EQ(printed.code, 0);
    const Json good = Json::parse(printed.out)["series"][0];
    const auto at = [&good](const char* name, int k) { return good[name][k].get<int>(); };
    const std::string path = ::testing::TempDir() + "disagreeing_series.json";
    const auto read = [&path](const Json& series) {
        std::ofstream(path) << series.dump();
        return runCli({"process", "--input", path});
    };
    const std::string geometry = " dwSeriesSize 200, wTmin 40 and wTmax 181 allow";
    const std::vector<std::pair<Json, std::string>> cases = {
        {{{"wMaxPulses", 0}}, "field wMaxPulses is 0, not 5, the most pulses" + geometry},
        {{{"wMinPulses", 60000}}, "field wMinPulses is 60000, not 1, the fewest pulses" + geometry},
        {{{"wImpulseQuantity", 6}},
         "field wImpulseQuantity is 6, outside 1..5, the pulse counts" + geometry},
        {{{"wTmax", 40000}}, "field wTmax is 40000, outside 1..32767"},
        {{{"wTmin", 300}}, "wTmin 300 is above wTmax 181: no series has this geometry"},
        {{{"wTmin", 10}, {"wTmax", 15}},
         "wTmax 15 is below the etalon length 20: no series has this geometry"},
        {{{"dwSeriesSize", 105}, {"wTmin", 20}, {"wTmax", 20}},
         "dwSeriesSize 105 with wTmin 20 and wTmax 20 needs at least 6 pulses and holds at most "
         "5: no series has this geometry"},
        {{{"wNoiseLevel", -1}}, "field wNoiseLevel is -1, outside 0..5439"},
        {{{"wNoiseLevel", 5440}}, "field wNoiseLevel is 5440, outside 0..5439"},
        {{{"lpCutStarts", {0, 10, 0}}, {"lpCutEnds", {19, 9, 19}}},
         "field lpCutStarts[1] is 10, after lpCutEnds[1] 9"},
        {{{"lpPositions",
           {at("lpMaxPositions", 0) + 1, at("lpPositions", 1), at("lpPositions", 2)}}},
         "field lpPositions[0] is " + std::to_string(at("lpMaxPositions", 0) + 1) +
             ", above lpMaxPositions[0] " + std::to_string(at("lpMaxPositions", 0))},
        {{{"lpMinPositions", {0, 0, at("lpPositions", 2) + 1}}},
         "field lpMinPositions[2] is " + std::to_string(at("lpPositions", 2) + 1) +
             ", above lpPositions[2] " + std::to_string(at("lpPositions", 2))},
    };
    ASSERT_EQ(good["wImpulseQuantity"], 3);
    for (const auto& [change, why] : cases) {
        Json series = good;
        series.update(change);
        const Result r = read(series);
        EXPECT_EQ(r.code, 2) << why;
        EXPECT_TRUE(r.out.empty()) << why;
        EXPECT_EQ(r.err, "etalon-cli: " + path + ": " + why + "\n");
    }
    // The edges themselves are taken.
    Json edges = good;
    edges.update(Json{{"wNoiseLevel", 5439},
                      {"wTmax", 32767},
                      {"lpCutStarts", {0, 9, 0}},
                      {"lpCutEnds", {19, 9, 19}}});
    const Result r = read(edges);
    EXPECT_EQ(r.code, 0) << r.err;
}

// What keeps a file from being read is said as it is, not as bad JSON.
TEST(Process, NamesAFolderAMissingOrAnEmptyFile) {
    const std::string folder = ::testing::TempDir();
    const std::string missing = folder + "no_such_series.json";
    const std::string empty = writeTemp("empty_series.json", " \n");
    const std::vector<std::pair<std::string, std::string>> cases = {
        {folder, folder + " is a folder"},
        {missing, missing + " cannot be read: No such file or directory"},
        {empty, empty + " is empty"},
    };
    for (const auto& [path, why] : cases) {
        const Result r = runCli({"process", "--input", path});
        EXPECT_EQ(r.code, 2) << why;
        EXPECT_EQ(r.err, "etalon-cli: " + why + "\n");
    }
}

TEST(Process, NamesAFileItMayNotRead) {
    if (geteuid() == 0) GTEST_SKIP() << "running as root, which reads any file";
    const std::string path = writeTemp("unreadable_series.json", "{}");
    std::filesystem::permissions(path, std::filesystem::perms::none);
    const Result r = runCli({"process", "--input", path});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err, "etalon-cli: " + path + " cannot be read: Permission denied\n");
    std::filesystem::remove(path);
}

// Bounds given on the command line replace the file's own, and a chain
// longer than the file's count bounds allow still fits the records.
TEST(Process, BoundsGivenOverrideTheFile) {
    const Result printed = runCli({"series", "--type", "4", "--noise", "30"});
    ASSERT_EQ(printed.code, 0);
    const std::string file = writeTemp("bounds_series.json", printed.out);
    const Result r = runCli({"process", "--input", file, "--type", "4", "--task", "detection",
                             "--tmin", "20", "--tmax", "100"});
    ASSERT_EQ(r.code, 0) << r.err;
    const Json s = Json::parse(r.out)["series"];
    const auto positions = ints(s["lpRestoredPositions"]);
    ASSERT_EQ(positions.size(), s["wRestoredQuantity"].get<std::size_t>());
    ASSERT_GT(positions.size(), 1u);
    for (std::size_t k = 1; k < positions.size(); ++k) {
        EXPECT_GE(positions[k] - positions[k - 1], 20);
        EXPECT_LE(positions[k] - positions[k - 1], 100);
    }
    const Json chains = Json::parse(r.out)["chains"];
    EXPECT_EQ(chains["chains"][0]["pulsesQuantity"], s["wRestoredQuantity"]);
}

TEST(Process, PrintsTheRestoredFieldsAndTheChains) {
    const Result r = runCli({"process", "--task", "detection", "--etalon", "1"});
    ASSERT_EQ(r.code, 0) << r.err;
    const Json out = Json::parse(r.out);
    const Json& s = out["series"];
    EXPECT_EQ(out["returned"], 1);
    EXPECT_EQ(s["wRestoredQuantity"], 18);
    EXPECT_EQ(s["lpRestoredPositions"], s["lpPositions"]);  // no noise: exact
    EXPECT_EQ(s["lpRestoredEtalons"].size(), 18u);
    EXPECT_EQ(out["chains"]["wMaxSize"], 10);
    EXPECT_EQ(out["chains"]["wPretenders"], 1);
    EXPECT_EQ(out["chains"]["chains"][0]["pulsesQuantity"], 18);
    EXPECT_EQ(out["chains"]["chains"][0]["cutEndsList"][0], 19);
}

// The baseline in place of the exact chain: at noise 0 the greedy picks are
// the true positions, each fit -72000 (etalon 1's energy); with a recording
// and an unknown count it stops where the fits turn non-negative. Tuples
// have no baseline.
TEST(Process, MatchedFilterPrintsTheGreedyPicks) {
    const Result made = runCli({"process", "--task", "detection", "--method", "matched-filter"});
    ASSERT_EQ(made.code, 0) << made.err;
    const Json out = Json::parse(made.out);
    EXPECT_EQ(out["series"]["lpRestoredPositions"], out["series"]["lpPositions"]);
    EXPECT_EQ(out["returned"], 1);
    EXPECT_EQ(out["chains"]["wPretenders"], 1);
    EXPECT_EQ(out["chains"]["chains"][0]["distance"],
              -72000 * out["series"]["wImpulseQuantity"].get<int>());

    const Result printed = runCli({"series", "--type", "4"});
    ASSERT_EQ(printed.code, 0);
    const std::string file = writeTemp("matched_filter_series.json", printed.out);
    const Result read = runCli({"process", "--samples", file, "--task", "recognition", "--method",
                                "matched-filter", "--etalons", "3,1,7"});
    ASSERT_EQ(read.code, 0) << read.err;
    const Json series = Json::parse(printed.out)["series"][0];
    const Json restored = Json::parse(read.out)["series"];
    const auto q = series["wImpulseQuantity"].get<std::size_t>();
    EXPECT_EQ(Json::parse(read.out)["returned"], 1);
    EXPECT_EQ(restored["lpRestoredPositions"], series["lpPositions"]);
    EXPECT_EQ(restored["lpRestoredEtalons"], std::vector<int16_t>(q, 1));

    const Result refused = runCli({"process", "--type", "36", "--task", "detection", "--subset",
                                   "1,2", "--method", "matched-filter"});
    EXPECT_EQ(refused.code, 2);
    EXPECT_TRUE(refused.out.empty());
    EXPECT_EQ(std::count(refused.err.begin(), refused.err.end(), '\n'), 1) << refused.err;
    EXPECT_NE(refused.err.find("--method"), std::string::npos) << refused.err;
}

}  // namespace
}  // namespace etalon::cli
