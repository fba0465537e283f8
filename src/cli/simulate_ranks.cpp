// `simulate` under mpirun: every process walks the whole schedule and
// restores its share of the series; process 0 prints what one process would.
// The driver runs on a worker thread; the main thread makes every MPI call.
#include <mpi.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <sstream>
#include <thread>

#include "cli/commands.h"
#include "cli/simulate_run.h"
#include "cli/simulation_checkpoint.h"
#include "cli/standard_output.h"
#include "cli/stop_signals.h"
#include "cli/task_options.h"

namespace etalon::cli {

namespace {

using Json = nlohmann::json;
constexpr auto kPoll = std::chrono::milliseconds(200);
// Enough that processes running apart on a busy machine still share one.
constexpr std::size_t kKeptSnapshots = 64;

class MpiSession {
  public:
    MpiSession() {
        int provided = 0;
        MPI_Init_thread(nullptr, nullptr, MPI_THREAD_FUNNELED, &provided);
        MPI_Comm_rank(MPI_COMM_WORLD, &rank_);
        MPI_Comm_size(MPI_COMM_WORLD, &size_);
    }
    ~MpiSession() { MPI_Finalize(); }
    MpiSession(const MpiSession&) = delete;
    MpiSession& operator=(const MpiSession&) = delete;
    uint32_t rank() const { return static_cast<uint32_t>(rank_); }
    uint32_t size() const { return static_cast<uint32_t>(size_); }
    // The processes of this run on this machine, which share its memory.
    uint32_t sizeOnMachine() const {
        MPI_Comm machine;
        MPI_Comm_split_type(MPI_COMM_WORLD, MPI_COMM_TYPE_SHARED, rank_, MPI_INFO_NULL, &machine);
        int size = 1;
        MPI_Comm_size(machine, &size);
        MPI_Comm_free(&machine);
        return static_cast<uint32_t>(size);
    }

  private:
    int rank_ = 0;
    int size_ = 1;
};

void allReduce(std::span<int64_t> values, MPI_Op op) {
    MPI_Allreduce(MPI_IN_PLACE, values.data(), static_cast<int>(values.size()), MPI_INT64_T, op,
                  MPI_COMM_WORLD);
}

// Every process's text, on process 0 (empty elsewhere).
std::vector<std::string> gatherText(const std::string& text, const MpiSession& mpi) {
    int length = static_cast<int>(text.size());
    std::vector<int> lengths(mpi.size()), offsets(mpi.size());
    MPI_Gather(&length, 1, MPI_INT, lengths.data(), 1, MPI_INT, 0, MPI_COMM_WORLD);
    std::string all;
    if (mpi.rank() == 0) {
        for (std::size_t r = 1; r < lengths.size(); ++r)
            offsets[r] = offsets[r - 1] + lengths[r - 1];
        all.resize(static_cast<std::size_t>(offsets.back() + lengths.back()));
    }
    MPI_Gatherv(text.data(), length, MPI_CHAR, all.data(), lengths.data(), offsets.data(), MPI_CHAR,
                0, MPI_COMM_WORLD);
    std::vector<std::string> texts;
    if (mpi.rank() == 0) {
        for (std::size_t r = 0; r < lengths.size(); ++r)
            texts.push_back(all.substr(static_cast<std::size_t>(offsets[r]),
                                       static_cast<std::size_t>(lengths[r])));
    }
    return texts;
}

std::string broadcastText(std::string text) {
    int64_t length = static_cast<int64_t>(text.size());
    MPI_Bcast(&length, 1, MPI_INT64_T, 0, MPI_COMM_WORLD);
    text.resize(static_cast<std::size_t>(length));
    MPI_Bcast(text.data(), static_cast<int>(length), MPI_CHAR, 0, MPI_COMM_WORLD);
    return text;
}

// Writes to two streams: process 0 shows its reports at once and keeps them
// to leave out the same reports of the other processes.
class TeeBuffer final : public std::streambuf {
  public:
    TeeBuffer(std::streambuf* first, std::streambuf* second) : first_(first), second_(second) {}

  protected:
    int overflow(int c) override {
        if (c == traits_type::eof()) return traits_type::not_eof(c);
        first_->sputc(static_cast<char>(c));
        second_->sputc(static_cast<char>(c));
        return c;
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        first_->sputn(s, n);
        return second_->sputn(s, n);
    }
    int sync() override { return first_->pubsync(); }

  private:
    std::streambuf* first_;
    std::streambuf* second_;
};

// What the worker thread and the main thread share.
struct Handover {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<int64_t>* sums = nullptr;  // the worker's, waiting to be summed
    bool summed = false;
    bool abandoned = false;  // another process failed: the worker gives up
    bool ended = false;
    int code = 0;
    std::map<uint32_t, std::vector<int64_t>> snapshots;
    std::atomic<uint32_t> done{0};
    std::atomic<uint32_t> total{0};
    std::atomic<bool> cancel{false};
};

std::string messagesText(const std::vector<CollectingSink::Message>& messages) {
    Json list = Json::array();
    for (const auto& m : messages)
        list.push_back({m.item, m.text, m.caption, static_cast<int>(m.icon)});
    return list.dump();
}

// The reports of single series of every process, in series order.
std::vector<CollectingSink::Message> mergeMessages(const std::vector<std::string>& texts) {
    std::vector<CollectingSink::Message> merged;
    for (const std::string& text : texts) {
        for (const Json& m : Json::parse(text)) {
            merged.push_back({m[0].get<std::size_t>(), m[1].get<std::string>(),
                              m[2].get<std::string>(), static_cast<MessageIcon>(m[3].get<int>())});
        }
    }
    std::stable_sort(merged.begin(), merged.end(),
                     [](const auto& a, const auto& b) { return a.item < b.item; });
    return merged;
}

// Process 0 reads the checkpoint and hands its text to every process.
bool shareCheckpoint(const SimulateArguments& args, const MpiSession& mpi, std::ostream& err,
                     std::optional<SimulationCheckpoint>& resumed) {
    std::string text, problem;
    if (mpi.rank() == 0) {
        std::ifstream in(args.resume, std::ios::binary);
        std::ostringstream read;
        if (in) read << in.rdbuf();
        if (!in) problem = "--resume: cannot read " + args.resume;
        text = read.str();
    }
    problem = broadcastText(problem);
    text = broadcastText(text);
    try {
        if (!problem.empty()) throw BadInput{problem};
        resumed = parseCheckpoint(text, args.resume);
    } catch (const BadInput& bad) {
        if (mpi.rank() == 0) err << "etalon-cli: " << bad.text << '\n';
        return false;
    }
    return true;
}

// Every process sums its snapshot at `position` into process 0, which saves
// it; skipped by all when one has dropped it (it ran too far ahead).
void saveSnapshot(Handover& h, const MpiSession& mpi, CheckpointWriter& saver, uint32_t position) {
    std::vector<int64_t> snapshot;
    {
        std::lock_guard lock(h.mutex);
        auto found = h.snapshots.find(position);
        if (found != h.snapshots.end()) snapshot = found->second;
        h.snapshots.erase(h.snapshots.begin(), h.snapshots.upper_bound(position));
    }
    std::array<int64_t, 1> have{snapshot.empty() ? 0 : 1};
    allReduce(have, MPI_MIN);
    if (have[0] == 0) return;
    const bool rank0 = mpi.rank() == 0;
    MPI_Reduce(rank0 ? MPI_IN_PLACE : snapshot.data(), snapshot.data(),
               static_cast<int>(snapshot.size()), MPI_INT64_T, MPI_SUM, 0, MPI_COMM_WORLD);
    if (rank0) saver.save(position, snapshot);
}

// Polls the processes until all have their sums or one has failed; sums
// them, shows progress and saves checkpoints on the way. Whether the run
// goes on (false: every process stops; `stopped`: by a stop asked for, not a
// failure, after the latest snapshot every process has was saved).
bool coordinate(Handover& h, const MpiSession& mpi, const SimulateArguments& args, uint32_t skipped,
                CheckpointWriter& saver, ProgressLine& progress, bool& stopped) {
    for (;;) {
        std::this_thread::sleep_for(kPoll);
        std::vector<int64_t>* sums = nullptr;
        int64_t latest = 0;
        bool ended = false;
        {
            std::lock_guard lock(h.mutex);
            sums = h.sums;
            ended = h.ended;
            latest = h.snapshots.empty() ? 0 : h.snapshots.rbegin()->first;
        }
        const bool rank0 = mpi.rank() == 0;
        const bool stopAsked = (rank0 && saver.stopRequested()) || StopSignals::received() != 0;
        // Summed: series done, failed processes, processes still running, stops asked for.
        std::array<int64_t, 4> state{h.done.load(), ended ? 1 : 0, sums ? 0 : 1, stopAsked ? 1 : 0};
        allReduce(state, MPI_SUM);
        // Least: the last snapshot every process has made; whether a save is due.
        std::array<int64_t, 2> save{latest, rank0 ? (saver.due() ? 1 : 0) : 1};
        allReduce(save, MPI_MIN);
        if (rank0 && args.progress && h.total > 0) {
            progress.setTotal(h.total);
            progress(static_cast<uint32_t>(skipped + state[0]));
        }
        const bool newer = save[0] > 0 && !args.checkpoint.empty();
        if (state[1] > 0 || state[3] > 0) {
            stopped = state[1] == 0;
            h.cancel = true;
            // A stop keeps what every process has accumulated in order.
            if (stopped && newer) saveSnapshot(h, mpi, saver, static_cast<uint32_t>(save[0]));
            std::lock_guard lock(h.mutex);
            h.abandoned = true;
            h.changed.notify_all();
            return false;
        }
        if (state[2] == 0) {
            allReduce(*sums, MPI_SUM);
            std::lock_guard lock(h.mutex);
            h.summed = true;
            h.changed.notify_all();
            return true;
        }
        // Snapshots up to the last save are dropped everywhere, so every
        // process takes this branch alike.
        if (save[1] == 1 && newer) saveSnapshot(h, mpi, saver, static_cast<uint32_t>(save[0]));
    }
}

}  // namespace

bool launchedOnRanks() {
    return std::getenv("OMPI_COMM_WORLD_SIZE") != nullptr;
}

int runSimulateOnRanks(const SeriesOptions& options, const ProcessArguments& task,
                       const SimulateArguments& args, std::ostream& out, std::ostream& err,
                       bool terminal) {
    MpiSession mpi;
    const bool rank0 = mpi.rank() == 0;
    std::optional<SimulationCheckpoint> resumed;
    if (!args.resume.empty() && !shareCheckpoint(args, mpi, err, resumed)) return kExitBadInput;

    // Process 0's reports go out at once; the others' only when the run fails.
    std::ostringstream kept;
    TeeBuffer tee(err.rdbuf(), kept.rdbuf());
    std::ostream workerErr(rank0 ? static_cast<std::streambuf*>(&tee) : kept.rdbuf());
    StderrSink sink(workerErr);

    Handover h;
    SimulateProduct product;
    RunHooks hooks;
    hooks.rank = mpi.rank();
    hooks.resume = resumed ? &*resumed : nullptr;
    hooks.takeResumeSums = rank0;
    SimulationOptions& how = hooks.options;
    how.shareRank = mpi.rank();
    how.shareCount = mpi.size();
    how.cancel = &h.cancel;
    how.progress = [&h, &product](uint32_t done) {
        h.total = product.total;  // set before the run began, on this thread
        h.done = done;
    };
    how.exchangeSums = [&h](std::vector<int64_t>& sums) {
        std::unique_lock lock(h.mutex);
        h.sums = &sums;
        h.changed.wait(lock, [&h] { return h.summed || h.abandoned; });
        if (!h.summed) throw std::runtime_error("another process stopped");
    };
    SimulateArguments rankArgs = args;
    if (!rank0) rankArgs.checkpoint.clear();  // process 0 alone saves
    // It saves on this thread: its complaints go straight to err, not through
    // the worker's stream, which the worker may be writing at the same time.
    CheckpointWriter saver(rankArgs, product.identity, err);
    if (rank0 && resumed) saver.resumedAt(resumed->position);
    if (!args.checkpoint.empty()) {
        const uint32_t stopAfter = saver.stopAfter();
        how.snapshot = [&h, stopAfter](uint32_t position, const std::vector<int64_t>& sums) {
            std::unique_lock lock(h.mutex);
            h.snapshots[position] = sums;
            if (h.snapshots.size() > kKeptSnapshots) h.snapshots.erase(h.snapshots.begin());
            // A test's stop: every process waits at the same position until it is saved.
            if (stopAfter > 0 && position >= stopAfter)
                h.changed.wait(lock, [&h] { return h.abandoned; });
        };
    }

    std::atomic<bool> signalled{false};
    std::optional<StopSignals> signals;
    if (!args.checkpoint.empty()) signals.emplace(&signalled);
    hooks.ranksOnMachine = mpi.sizeOnMachine();
    std::thread worker([&] {
        // Nothing the run throws may end the process: it fails this process,
        // and the others stop with it.
        int code = kExitCoreFailed;
        try {
            code = simulateOnce(options, task, args, hooks, sink, workerErr, product);
        } catch (const std::exception& e) {
            workerErr << "etalon-cli: simulate stopped: " << e.what() << '\n';
        } catch (...) {
            workerErr << "etalon-cli: simulate stopped on an unknown error\n";
        }
        std::lock_guard lock(h.mutex);
        h.code = code;
        h.ended = true;
    });
    ProgressLine progress(err, terminal, 0);
    bool stopped = false;
    coordinate(h, mpi, args, resumed ? resumed->position : 0, saver, progress, stopped);
    worker.join();

    std::array<int64_t, 2> failed{h.code != 0 ? 1 : 0, StopSignals::received()};
    allReduce(failed, MPI_MAX);
    const std::vector<std::string> reports = gatherText(kept.str(), mpi);
    // Each other process's reports once, when process 0 did not show the same.
    const auto showOthers = [&] {
        std::vector<std::string> shown{reports[0]};
        for (const std::string& text : reports) {
            if (std::find(shown.begin(), shown.end(), text) != shown.end()) continue;
            err << text;
            shown.push_back(text);
        }
    };
    if (failed[0] > 0) {
        const int signal = stopped ? static_cast<int>(failed[1]) : 0;
        if (rank0 && stopped) saver.sayStopped(signal);
        if (rank0 && !stopped) showOthers();
        if (signal) return 128 + signal;
        return h.code != 0 ? h.code : kExitCoreFailed;
    }
    if (rank0) showOthers();

    // The last series comes from the process that restored it.
    const uint32_t owner = (product.total - 1) % mpi.size();
    const std::vector<std::string> series =
        gatherText(mpi.rank() == owner ? product.seriesJson : std::string(), mpi);
    const std::vector<std::string> messages =
        gatherText(messagesText(product.result.messages), mpi);
    std::array<int64_t, 1> code{0};
    if (rank0) {
        product.seriesJson = series[owner];
        product.result.messages = mergeMessages(messages);
        StderrSink errSink(err);
        if (showSeriesReports(errSink, product.result))
            code[0] = kExitCoreFailed;
        else if (!writeOutput(out, err, simulateOutputText(args, product)))
            code[0] = kExitWriteFailed;
    }
    MPI_Bcast(code.data(), 1, MPI_INT64_T, 0, MPI_COMM_WORLD);
    return static_cast<int>(code[0]);
}

}  // namespace etalon::cli
