// `etalon-cli simulate` under mpirun and across a stop: the same output as
// one uninterrupted process.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

struct Outcome {
    int code = -1;
    std::string out, err;
};

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class SimulateRanks : public testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("etalon-ranks-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Skips (or fails, where Open MPI must be there) without mpirun.
    bool needMpi() {
        if (std::string(ETALON_MPIEXEC).empty()) {
            if (std::getenv("ETALON_REQUIRE_MPI"))
                ADD_FAILURE() << "ETALON_REQUIRE_MPI is set but Open MPI was not found";
            return false;
        }
        return true;
    }

    // ranks 0: one plain process; otherwise under mpirun. `env` is prefixed.
    Outcome run(int ranks, const std::vector<std::string>& args, const std::string& env = "") {
        std::string command = env + " ";
        if (ranks > 0) {
            command += "OMPI_ALLOW_RUN_AS_ROOT=1 OMPI_ALLOW_RUN_AS_ROOT_CONFIRM=1 " +
                       std::string(ETALON_MPIEXEC) + " --oversubscribe -np " +
                       std::to_string(ranks) + " ";
        }
        command += ETALON_CLI;
        for (const std::string& a : args)
            command += " '" + a + "'";
        command += " >" + (dir_ / "out").string() + " 2>" + (dir_ / "err").string();
        Outcome r;
        const int status = std::system(command.c_str());
        r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.out = readAll(dir_ / "out");
        r.err = readAll(dir_ / "err");
        return r;
    }

    // What the program printed, without mpirun's notice of a failed process.
    static std::string ours(const std::string& err) {
        return err.substr(0, err.find("-----------------------------------------"));
    }

    static std::string withoutTimes(const std::string& text) {
        Json j = Json::parse(text);
        j["simulation"].erase("startTime");
        j["simulation"].erase("endTime");
        return j.dump(1);
    }

    fs::path dir_;
};

std::vector<std::string> grid(const char* repeats = "5") {
    return {"simulate", "--length",      "600",  "--pulses-from", "5", "--pulses-to",
            "9",        "--pulses-step", "2",    "--noise-steps", "3", "--noise-step",
            "40",       "--repeats",     repeats};
}

std::vector<std::string> with(std::vector<std::string> args, const std::vector<std::string>& more) {
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

TEST_F(SimulateRanks, TwoAndThreeRanksPrintWhatOneProcessPrints) {
    if (!needMpi()) GTEST_SKIP() << "Open MPI not found: simulate over ranks not built";
    const std::vector<std::vector<std::string>> cases = {
        {"--task", "detection", "--etalon", "4", "--type", "4", "--baseline"},
        {"--task", "recognition", "--etalons", "2,5,9", "--baseline"},
        {"--task", "joint", "--etalons", "2,5,9", "--type", "2", "--level", "75"},
        {"--task", "processing", "--type", "8"},
        {"--task", "recognition", "--type", "40", "--subsets", "5,9;3,7,12", "--subset", "3,7,12"},
        {"--task", "detection", "--type", "36", "--subset", "3,7,12"},
    };
    for (const auto& task : cases) {
        const std::vector<std::string> args = with(grid(), task);
        const Outcome one = run(0, args);
        ASSERT_EQ(one.code, 0) << testing::PrintToString(task) << one.err;
        for (const int ranks : {2, 3}) {
            const Outcome many = run(ranks, args);
            ASSERT_EQ(many.code, 0) << ranks << testing::PrintToString(task) << many.err;
            EXPECT_EQ(withoutTimes(many.out), withoutTimes(one.out)) << ranks;
            EXPECT_EQ(many.err, one.err) << ranks;
        }
    }
    const std::vector<std::string> csv = with(grid(), {"--format", "csv", "--baseline"});
    const Outcome one = run(0, csv);
    ASSERT_EQ(one.code, 0) << one.err;
    EXPECT_EQ(run(3, csv).out, one.out);
    // A refusal every process meets is told once.
    const std::vector<std::string> refused = with(grid(), {"--type", "36", "--task", "detection"});
    const Outcome alone = run(0, refused), ranked = run(2, refused);
    EXPECT_EQ(alone.code, 1);
    EXPECT_EQ(ranked.code, 1);
    EXPECT_EQ(ours(ranked.err), alone.err);
}

TEST_F(SimulateRanks, OneFailingRankEndsEveryRankWithNothingPrinted) {
    if (!needMpi()) GTEST_SKIP() << "Open MPI not found: simulate over ranks not built";
    const Outcome r = run(3, grid("40"), "ETALON_TEST_FAIL_RANK=1:3");
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.out.empty());
    EXPECT_NE(r.err.find("failure injected at series 3"), std::string::npos) << r.err;
}

TEST_F(SimulateRanks, AStoppedRunResumesToTheUninterruptedResult) {
    const std::vector<std::string> args = with(grid(), {"--baseline"});
    const Outcome whole = run(0, args);
    ASSERT_EQ(whole.code, 0) << whole.err;
    const std::string saved = (dir_ / "run.checkpoint").string();
    std::vector<int> rankCounts = {0};
    if (needMpi()) rankCounts.push_back(3);
    for (const int ranks : rankCounts) {
        fs::remove(saved);
        const Outcome stopped =
            run(ranks, with(args, {"--checkpoint", saved, "--checkpoint-seconds", "0"}),
                "ETALON_TEST_STOP_AFTER=20");
        EXPECT_EQ(stopped.code, 1) << ranks;
        EXPECT_TRUE(stopped.out.empty());
        ASSERT_TRUE(fs::exists(saved)) << ranks << stopped.err;
        const Json checkpoint = Json::parse(readAll(saved));
        EXPECT_GE(checkpoint["position"].get<int>(), 20);
        EXPECT_LT(checkpoint["position"].get<int>(), 45);

        const Outcome resumed = run(ranks, with(args, {"--resume", saved, "--threads", "1"}));
        ASSERT_EQ(resumed.code, 0) << ranks << resumed.err;
        EXPECT_EQ(withoutTimes(resumed.out), withoutTimes(whole.out)) << ranks;
        EXPECT_EQ(resumed.err, whole.err);
    }
    // Another grid, or no checkpoint at all, is refused.
    const Outcome other = run(0, with(grid("6"), {"--baseline", "--resume", saved}));
    EXPECT_EQ(other.code, 2);
    EXPECT_NE(other.err.find("was saved by another run"), std::string::npos) << other.err;
    std::ofstream(saved) << "{}";
    EXPECT_EQ(run(0, with(args, {"--resume", saved})).code, 2);
}

}  // namespace
