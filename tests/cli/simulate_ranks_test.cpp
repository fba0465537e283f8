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
    // With a `signal`, it is sent once the progress line says series are
    // done: to the process, or under mpirun to every process of the run, as
    // a batch scheduler or a terminal's Ctrl-C sends it (mpirun itself
    // ignores SIGINT when started in the background).
    Outcome run(int ranks, const std::vector<std::string>& args, const std::string& env = "",
                const char* signal = nullptr) {
        std::string command = env + " ";
        if (ranks > 0) {
            command += "OMPI_ALLOW_RUN_AS_ROOT=1 OMPI_ALLOW_RUN_AS_ROOT_CONFIRM=1 " +
                       std::string(ETALON_MPIEXEC) + " --oversubscribe -np " +
                       std::to_string(ranks) + " ";
        }
        command += ETALON_CLI;
        for (const std::string& a : args)
            command += " '" + a + "'";
        const std::string err = (dir_ / "err").string();
        command += " >" + (dir_ / "out").string() + " 2>" + err;
        if (signal) {
            const std::string target = ranks > 0 ? "pkill -" + std::string(signal) + " -f '^" +
                                                       ETALON_CLI + " simulate .*" +
                                                       checkpointPath() + "'"
                                                 : "kill -" + std::string(signal) + " $pid";
            command += " & pid=$!; for i in $(seq 300); do grep -q '^simulate: [1-9]' " + err +
                       " && break; sleep 0.1; done; " + target + "; wait $pid";
        }
        Outcome r;
        const int status = std::system(command.c_str());
        r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.out = readAll(dir_ / "out");
        r.err = readAll(dir_ / "err");
        return r;
    }

    // One plain process, and three under mpirun where Open MPI is there.
    std::vector<int> processCounts() {
        std::vector<int> counts = {0};
        if (needMpi()) counts.push_back(3);
        return counts;
    }
    std::string checkpointPath() const { return (dir_ / "run.checkpoint").string(); }

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
    // The processes of one machine share its memory: 5 MB holds one
    // detection of 32,767 samples (4 MB) but not one on each of two.
    const std::vector<std::string> shared = {
        "simulate",  "--length", "32767",         "--task", "detection",      "--pulses-to", "182",
        "--repeats", "1",        "--noise-steps", "1",      "--memory-limit", "5M"};
    EXPECT_EQ(run(0, shared).code, 0);
    const Outcome split = run(2, shared);
    EXPECT_EQ(split.code, 2);
    EXPECT_NE(ours(split.err).find("is the limit set by --memory-limit, shared by the 2 "
                                   "processes on this machine"),
              std::string::npos)
        << split.err;
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
    const std::string saved = checkpointPath();
    const std::vector<int> rankCounts = processCounts();
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
    // The same options in another order, with `=` and a default written out
    // are the same run.
    const std::vector<std::string> retyped = {"simulate",
                                              "--repeats=5",
                                              "--baseline",
                                              "--noise-step",
                                              "40",
                                              "--pulses-to",
                                              "9",
                                              "--pulses-from",
                                              "5",
                                              "--noise-steps=3",
                                              "--pulses-step",
                                              "2",
                                              "--length",
                                              "600",
                                              "--tmin",
                                              "40",
                                              "--resume",
                                              saved};
    const Outcome again = run(0, retyped);
    ASSERT_EQ(again.code, 0) << again.err;
    EXPECT_EQ(withoutTimes(again.out), withoutTimes(whole.out));
    // Another grid or level, no checkpoint at all, or one of the wrong shape is refused.
    for (const auto& otherRun : {with(grid("6"), {"--baseline"}), with(args, {"--level", "90"})}) {
        const Outcome other = run(0, with(otherRun, {"--resume", saved}));
        EXPECT_EQ(other.code, 2);
        EXPECT_NE(other.err.find("was saved by another run"), std::string::npos) << other.err;
    }
    Json damaged = Json::parse(readAll(saved));
    damaged["run"] = 5;
    std::ofstream(saved) << damaged.dump();
    for (const int ranks : rankCounts) {
        const Outcome refused = run(ranks, with(args, {"--resume", saved}));
        EXPECT_EQ(refused.code, 2) << ranks;
        EXPECT_EQ(ours(refused.err),
                  "etalon-cli: --resume: " + saved + " is damaged: \"run\" is not an object\n");
    }
    std::ofstream(saved) << "{}";
    EXPECT_EQ(run(0, with(args, {"--resume", saved})).code, 2);
}

// SIGTERM or Ctrl-C during a run saves what was accumulated and says where;
// resuming from it prints what the uninterrupted run prints.
TEST_F(SimulateRanks, ASignalSavesTheWorkAndTheRunResumesFromIt) {
    const std::vector<std::string> args = {"simulate", "--length",      "4000", "--repeats",
                                           "40",       "--noise-steps", "3",    "--baseline"};
    const Outcome whole = run(0, args);
    ASSERT_EQ(whole.code, 0) << whole.err;
    const std::string saved = checkpointPath();
    const std::vector<int> rankCounts = processCounts();
    for (const int ranks : rankCounts) {
        for (const char* signal : {"TERM", "INT"}) {
            SCOPED_TRACE(std::to_string(ranks) + " ranks, SIG" + signal);
            fs::remove(saved);
            const Outcome stopped = run(
                ranks,
                with(args, {"--checkpoint", saved, "--checkpoint-seconds", "3600", "--progress"}),
                "", signal);
            // mpirun ends with its own code once a process has.
            if (ranks == 0) {
                EXPECT_EQ(stopped.code, 128 + (signal[0] == 'T' ? 15 : 2));
            }
            EXPECT_NE(stopped.code, 0);
            EXPECT_TRUE(stopped.out.empty());
            EXPECT_NE(stopped.err.find(std::string("simulate stopped by SIG") + signal + "; " +
                                       saved + " holds"),
                      std::string::npos)
                << stopped.err;
            const Outcome resumed = run(ranks, with(args, {"--resume", saved}));
            ASSERT_EQ(resumed.code, 0) << resumed.err;
            EXPECT_EQ(withoutTimes(resumed.out), withoutTimes(whole.out));
        }
    }
}

}  // namespace
