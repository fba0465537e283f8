// What etalon-cli prints for a spread of options, kept as golden files in
// tests/cli/golden, so that a change to the core's structure cannot change an
// output unnoticed. A deliberate change of behaviour rewrites the files it
// moves: run cli_tests with ETALON_UPDATE_GOLDEN=1 and review the difference.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/cli_runner.h"

namespace etalon::test {
namespace {

// The build passes absolute source paths, so the folder is found from any
// working directory.
std::filesystem::path goldenPath(const std::string& name) {
    return std::filesystem::path(ETALON_GOLDEN_DIR) / (name + ".jsonl");
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::string line;
    for (std::istringstream in(text); std::getline(in, line);)
        out.push_back(line);
    if (!text.empty() && text.back() != '\n') out.back() += " (no line end)";
    return out;
}

// The lines are long JSON: show the stretch around the first differing column.
std::string excerpt(const std::string& line, std::size_t column) {
    constexpr std::size_t kBefore = 60, kAfter = 60;
    const std::size_t from = column > kBefore ? column - kBefore : 0;
    return (from > 0 ? "..." : "") + line.substr(from, kBefore + kAfter) +
           (from + kBefore + kAfter < line.size() ? "..." : "");
}

// Empty when the output is the golden file's text; otherwise where they first part.
std::string firstDifference(const std::string& expectedText, const std::string& actualText) {
    const std::vector<std::string> expected = lines(expectedText), actual = lines(actualText);
    const std::size_t common = std::min(expected.size(), actual.size());
    for (std::size_t i = 0; i < common; ++i) {
        if (expected[i] == actual[i]) continue;
        const auto [e, a] = std::mismatch(expected[i].begin(), expected[i].end(), actual[i].begin(),
                                          actual[i].end());
        const auto column = static_cast<std::size_t>(e - expected[i].begin());
        return "line " + std::to_string(i + 1) + ", column " + std::to_string(column + 1) +
               ":\n  expected: " + excerpt(expected[i], column) +
               "\n  actual:   " + excerpt(actual[i], column);
    }
    if (expected.size() != actual.size()) {
        return std::to_string(expected.size()) + " lines expected, " +
               std::to_string(actual.size()) + " printed; the first " + std::to_string(common) +
               " agree";
    }
    return expectedText == actualText ? "" : "the line ends differ";
}

std::string describe(const std::vector<std::string>& args) {
    std::string text = "etalon-cli";
    for (const auto& a : args)
        text += ' ' + a;
    return text;
}

void expectGolden(const std::string& name, const std::vector<std::string>& args) {
    const CliResult result = runCli(args);
    ASSERT_EQ(result.code, 0) << describe(args) << '\n' << result.err;
    const std::filesystem::path path = goldenPath(name);
    if (std::getenv("ETALON_UPDATE_GOLDEN")) {
        std::ofstream(path, std::ios::binary) << result.out;
        return;
    }
    std::ifstream file(path, std::ios::binary);
    ASSERT_TRUE(file) << path << " is missing; ETALON_UPDATE_GOLDEN=1 writes it";
    std::ostringstream expected;
    expected << file.rdbuf();
    const std::string difference = firstDifference(expected.str(), result.out);
    if (!difference.empty())
        ADD_FAILURE() << describe(args) << " no longer prints " << path << ", " << difference;
}

struct Recorded {
    std::string name;
    std::vector<std::string> args;
};

TEST(RecordedOutputs, AlphabetSeriesAndProcessPrintWhatTheyPrinted) {
    const std::vector<Recorded> recorded = {
        {"alphabet", {"alphabet"}},
        {"series", {"series"}},
        {"series_cut_noise_count",
         {"series", "--type", "2", "--level", "75", "--noise", "20", "--count", "5"}},
        {"series_sequence_fixed_subset",
         {"series", "--length", "600", "--sequence", "3,3,5", "--subset", "7,8,9", "--employment",
          "2", "--init-position", "4"}},
        {"series_unfixed_count", {"series", "--type", "4", "--noise", "35", "--count", "3"}},
        {"series_unfixed_cut", {"series", "--type", "8", "--level", "50", "--noise", "35"}},
        {"series_tuples", {"series", "--type", "36", "--subset", "5,9,2", "--noise", "20"}},
        {"series_tuples_unfixed",
         {"series", "--type", "40", "--subset", "1,2,3,4", "--count", "2"}},
        {"series_short_fixed_count",
         {"series", "--length", "200", "--tmin", "20", "--tmax", "60", "--pulses", "5"}},
        {"process", {"process"}},
        {"process_noise", {"process", "--noise", "20"}},
        {"process_joint_cut",
         {"process", "--type", "2", "--level", "75", "--noise", "20", "--task", "joint"}},
        {"process_tuples_recognition_pick",
         {"process", "--type", "36", "--subsets", "5,9,2;3,7,12;14,1,18", "--pick", "2", "--task",
          "recognition", "--proceeding", "2"}},
        {"process_tuples_recognition_unfixed",
         {"process", "--type", "40", "--subsets", "5,9,2;3,7,12", "--task", "recognition",
          "--noise", "20"}},
        {"process_tuples_detection",
         {"process", "--type", "36", "--subset", "3,4,5", "--task", "detection", "--noise", "10"}},
        {"process_tuples_detection_unfixed",
         {"process", "--type", "40", "--subset", "3,4,5", "--task", "detection", "--proceeding",
          "2", "--noise", "10"}},
        {"process_detection_unfixed",
         {"process", "--type", "4", "--task", "detection", "--etalon", "3", "--noise", "20"}},
        {"process_recognition_unfixed_cut",
         {"process", "--type", "8", "--level", "60", "--task", "recognition", "--etalons",
          "1,2,3,4", "--noise", "30"}},
        {"process_processing",
         {"process", "--type", "1", "--task", "processing", "--etalon", "7", "--noise", "40"}},
        // Tuples detection with the whole pattern: three shifts ranked, not two.
        {"process_tuples_detection_whole_pattern",
         {"process", "--length", "100", "--tmin", "80", "--tmax", "80", "--type", "36", "--task",
          "detection", "--proceeding", "2", "--subset", "1,2,3"}},
        {"process_type16_joint",
         {"process", "--length", "600", "--type", "16", "--task", "joint", "--noise", "5"}},
    };
    for (const Recorded& r : recorded)
        expectGolden(r.name, r.args);
}

// Each series of --count is restored and printed on a line of its own; the
// streams carry on as for `series --count`.
TEST(RecordedOutputs, ProcessCountPrintsOneLinePerSeries) {
    expectGolden("process_count",
                 {"process", "--type", "2", "--level", "50", "--processing-level", "80", "--task",
                  "recognition", "--etalons", "3,5,7", "--count", "3"});
}

TEST(RecordedOutputs, ProcessReadsASavedSeriesAsItDid) {
    const auto path = std::filesystem::temp_directory_path() / "etalon_recorded_series.json";
    {
        std::ofstream file(path);
        file << runCli({"series", "--type", "8", "--level", "50", "--noise", "35"}).out;
    }
    expectGolden("process_input_detection", {"process", "--input", path.string(), "--type", "8",
                                             "--task", "detection", "--etalon", "3"});
    expectGolden("process_input_recognition", {"process", "--input", path.string(), "--type", "8",
                                               "--task", "recognition", "--tmin", "30"});
    std::filesystem::remove(path);
}

}  // namespace
}  // namespace etalon::test
