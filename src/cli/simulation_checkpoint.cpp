#include "cli/simulation_checkpoint.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "cli/task_options.h"
#include "export/atomic_file.h"
#include "simulation/series_scoring.h"

namespace etalon::cli {

namespace {

using Json = nlohmann::json;
constexpr const char* kFormat = "etalon-simulate-checkpoint";

double secondsNow() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Options that change how the run goes or is printed, never its sums.
bool keptOut(const std::string& word, bool& takesValue) {
    for (const char* name : {"--threads", "--checkpoint", "--resume", "--checkpoint-seconds",
                             "--format", "--memory-limit"}) {
        if (word == name) {
            takesValue = true;
            return true;
        }
        if (word.rfind(std::string(name) + "=", 0) == 0) return true;
    }
    return word == "--progress";
}

}  // namespace

Json runIdentity(const SimulateArguments& args, const RandomStreams& streams,
                 std::span<const PulseHeader> alphabet, const RestErrorHeader& grid) {
    Json arguments = Json::array();
    for (std::size_t i = 0; i < args.commandLine.size(); ++i) {
        bool takesValue = false;
        if (keptOut(args.commandLine[i], takesValue)) {
            if (takesValue) ++i;
            continue;
        }
        arguments.push_back(args.commandLine[i]);
    }
    // A loaded alphabet is named by its file; its samples say whether it changed.
    uint64_t hash = 1469598103934665603ull;
    for (const PulseHeader& etalon : alphabet) {
        for (const int16_t sample : etalon.lpData)
            hash = (hash ^ static_cast<uint16_t>(sample)) * 1099511628211ull;
    }
    const auto pulses = grid.wPulseValues();
    const auto noise = grid.lpNoiseLevels();
    return Json{{"arguments", arguments},
                {"streams",
                 {streams.wCutStartSeed, streams.wCutEndSeed, streams.wPositionSeed,
                  streams.wPulseCountSeed, streams.wSubsetSeed, streams.wSubsetRepeatSeed,
                  streams.wAlphabetNoiseSeed, streams.wNoiseSeed}},
                {"alphabet", hash},
                {"grid",
                 {{"pulses", std::vector<int16_t>(pulses.begin(), pulses.end())},
                  {"noise", std::vector<int16_t>(noise.begin(), noise.end())},
                  {"repeats", grid.repeats}}}};
}

std::string checkpointText(const SimulationCheckpoint& checkpoint) {
    const Json j{{"format", kFormat},
                 {"run", checkpoint.identity},
                 {"position", checkpoint.position},
                 {"sums", checkpoint.sums}};
    return j.dump() + '\n';
}

SimulationCheckpoint parseCheckpoint(const std::string& text, const std::string& name) {
    const Json j = Json::parse(text, nullptr, false);
    const BadInput notCheckpoint{"--resume: " + name + " is not a checkpoint of simulate"};
    if (!j.is_object() || j.value("format", "") != kFormat) throw notCheckpoint;
    try {
        SimulationCheckpoint c;
        c.identity = j.at("run");
        c.position = j.at("position").get<uint32_t>();
        c.sums = j.at("sums").get<std::vector<int64_t>>();
        return c;
    } catch (const Json::exception&) {
        throw notCheckpoint;
    }
}

SimulationCheckpoint loadCheckpoint(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw BadInput{"--resume: cannot read " + path + ": " + std::strerror(errno)};
    std::ostringstream text;
    text << in.rdbuf();
    return parseCheckpoint(text.str(), path);
}

void checkResumable(const SimulationCheckpoint& saved, const Json& identity,
                    const std::string& name) {
    for (const char* key : {"arguments", "alphabet", "streams", "grid"}) {
        if (saved.identity.value(key, Json()) != identity.value(key, Json())) {
            throw BadInput{"--resume: " + name + " was saved by another run (its " +
                           std::string(key) +
                           " differ from this one's); run with the same options"};
        }
    }
    const Json& grid = identity["grid"];
    const std::size_t cells = grid["pulses"].size() * grid["noise"].size();
    const uint64_t total = cells * grid["repeats"].get<uint64_t>();
    if (saved.position >= total || saved.sums.size() != cells * 2 * ErrorSums::kRawPerCell)
        throw BadInput{"--resume: " + name + " is damaged: its sums do not fit the grid"};
}

CheckpointWriter::CheckpointWriter(const SimulateArguments& args, const Json& identity,
                                   std::ostream& err)
    : path_(args.checkpoint),
      seconds_(args.checkpointSeconds),
      identity_(identity),
      err_(err),
      lastSave_(secondsNow()) {
    if (const char* stop = std::getenv("ETALON_TEST_STOP_AFTER"))
        stopAfter_ = static_cast<uint32_t>(std::strtoul(stop, nullptr, 10));
}

bool CheckpointWriter::due() const {
    return active() && secondsNow() - lastSave_ >= seconds_;
}

bool CheckpointWriter::offer(uint32_t position, const std::vector<int64_t>& sums) {
    return due() && save(position, sums);
}

bool CheckpointWriter::save(uint32_t position, const std::vector<int64_t>& sums) {
    const std::string text = checkpointText({identity_, position, sums});
    const FileWriteResult written = writeFileAtomically(
        path_, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
    lastSave_ = secondsNow();
    if (!written) {
        // The run itself goes on: only a stop would need the file.
        err_ << "etalon-cli: cannot save the checkpoint " << path_ << ": "
             << std::strerror(written.errorNumber) << '\n';
        return false;
    }
    saved_ = position;
    return true;
}

void CheckpointWriter::sayStopped() const {
    err_ << "etalon-cli: simulate stopped; " << path_ << " holds the first " << saved_
         << " series: --resume " << path_ << " continues\n";
}

}  // namespace etalon::cli
