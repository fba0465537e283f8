// What etalon-cli prints for a spread of options, pinned by a hash of the
// bytes, so that a change to the core's structure cannot change an output
// unnoticed. A deliberate change of behaviour updates the hashes it moves.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/cli_runner.h"

namespace etalon::test {
namespace {

uint64_t fnv1a(const std::string& bytes) {
    uint64_t hash = 0xcbf29ce484222325ull;
    for (unsigned char c : bytes) {
        hash ^= c;
        hash *= 0x100000001b3ull;
    }
    return hash;
}

struct Recorded {
    std::vector<std::string> args;
    uint64_t hash;
};

std::string describe(const std::vector<std::string>& args) {
    std::string text;
    for (const auto& a : args)
        text += a + ' ';
    return text;
}

TEST(RecordedOutputs, AlphabetSeriesAndProcessPrintWhatTheyPrinted) {
    const std::vector<Recorded> recorded = {
        {{"alphabet"}, 0xc6e5f934712b7924ull},
        {{"series"}, 0x532d7025285e6a40ull},
        {{"series", "--type", "2", "--level", "75", "--noise", "20", "--count", "5"},
         0xcddfb0f57e9ef874ull},
        {{"series", "--length", "600", "--sequence", "3,3,5", "--subset", "7,8,9", "--employment",
          "2", "--init-position", "4"},
         0x519e4b5998eb57edull},
        {{"series", "--type", "4", "--noise", "35", "--count", "3"}, 0xcd5035c13c90bb54ull},
        {{"series", "--type", "8", "--level", "50", "--noise", "35"}, 0x6bc1c872a733331cull},
        {{"series", "--type", "36", "--subset", "5,9,2", "--noise", "20"}, 0xc0f635a9ed894286ull},
        {{"series", "--type", "40", "--subset", "1,2,3,4", "--count", "2"}, 0x6edd5ea3ad5eb8c9ull},
        {{"series", "--length", "200", "--tmin", "20", "--tmax", "60", "--pulses", "5"},
         0x52c3472bf757ec4eull},
        {{"process"}, 0x969e5b33d55f295cull},
        {{"process", "--noise", "20"}, 0x964474cae56eda1cull},
        {{"process", "--type", "2", "--level", "75", "--noise", "20", "--task", "joint"},
         0x8e24f711e3aea9f0ull},
        {{"process", "--type", "36", "--subsets", "5,9,2;3,7,12;14,1,18", "--pick", "2", "--task",
          "recognition", "--proceeding", "2"},
         0x00886864ff55f24dull},
        {{"process", "--type", "40", "--subsets", "5,9,2;3,7,12", "--task", "recognition",
          "--noise", "20"},
         0x9818b2de45da75e1ull},
        {{"process", "--type", "36", "--subset", "3,4,5", "--task", "detection", "--noise", "10"},
         0x9e462a101e2d393cull},
        {{"process", "--type", "40", "--subset", "3,4,5", "--task", "detection", "--proceeding",
          "2", "--noise", "10"},
         0xa0512ae9721527f7ull},
        {{"process", "--type", "4", "--task", "detection", "--etalon", "3", "--noise", "20"},
         0x9d1f5f6c0892bc07ull},
        {{"process", "--type", "8", "--level", "60", "--task", "recognition", "--etalons",
          "1,2,3,4", "--noise", "30"},
         0x3bbb5a305b985f41ull},
        {{"process", "--type", "1", "--task", "processing", "--etalon", "7", "--noise", "40"},
         0x605848db27256eaeull},
        // Tuples detection with the whole pattern: three shifts ranked, not two.
        {{"process", "--length", "100", "--tmin", "80", "--tmax", "80", "--type", "36", "--task",
          "detection", "--proceeding", "2", "--subset", "1,2,3"},
         0x7fc5546469c10295ull},
        {{"process", "--length", "600", "--type", "16", "--task", "joint", "--noise", "5"},
         0x403fd982ded8d148ull},
    };
    for (const Recorded& r : recorded) {
        const CliResult result = runCli(r.args);
        EXPECT_EQ(result.code, 0) << describe(r.args) << result.err;
        EXPECT_EQ(fnv1a(result.out), r.hash) << describe(r.args);
    }
}

// Each series of --count is restored and printed on a line of its own; the
// streams carry on as before, so the last line is what a run that restored
// only the last series printed.
TEST(RecordedOutputs, ProcessCountPrintsOneLinePerSeries) {
    const CliResult result =
        runCli({"process", "--type", "2", "--level", "50", "--processing-level", "80", "--task",
                "recognition", "--etalons", "3,5,7", "--count", "3"});
    ASSERT_EQ(result.code, 0) << result.err;
    std::vector<std::string> lines;
    std::string line;
    for (std::istringstream in(result.out); std::getline(in, line);)
        lines.push_back(line + '\n');
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NE(lines[0], lines[1]);
    EXPECT_EQ(fnv1a(lines[2]), 0x685ef34b96ddd81bull);
}

TEST(RecordedOutputs, ProcessReadsASavedSeriesAsItDid) {
    const auto path = std::filesystem::temp_directory_path() / "etalon_recorded_series.json";
    {
        std::ofstream file(path);
        file << runCli({"series", "--type", "8", "--level", "50", "--noise", "35"}).out;
    }
    const CliResult detection = runCli({"process", "--input", path.string(), "--type", "8",
                                        "--task", "detection", "--etalon", "3"});
    EXPECT_EQ(fnv1a(detection.out), 0xb307b1444673fa27ull);
    const CliResult recognition = runCli({"process", "--input", path.string(), "--type", "8",
                                          "--task", "recognition", "--tmin", "30"});
    EXPECT_EQ(fnv1a(recognition.out), 0xa4de4004da43c99bull);
    std::filesystem::remove(path);
}

}  // namespace
}  // namespace etalon::test
