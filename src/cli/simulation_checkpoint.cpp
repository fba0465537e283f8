#include "cli/simulation_checkpoint.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "cli/stop_signals.h"
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

}  // namespace

Json runIdentity(const RunIdentityParts& parts) {
    const SimulationRun& run = parts.run;
    const SeriesHeader& series = parts.series;
    // A loaded alphabet is named by its file; its samples say whether it changed.
    uint64_t hash = 1469598103934665603ull;
    for (const PulseHeader& etalon : run.alphabet) {
        for (const int16_t sample : etalon.lpData)
            hash = (hash ^ static_cast<uint16_t>(sample)) * 1099511628211ull;
    }
    Json stored = Json::array();
    for (std::size_t p = 0; p < series.wSubsets; ++p) {
        const auto pattern = series.storedSubset(p);
        stored.push_back(std::vector<int16_t>(pattern.begin(), pattern.end()));
    }
    const std::span<const int16_t> selected(
        series.lpSelectedSubset.data(),
        std::min<std::size_t>(series.wSubsetLength, series.lpSelectedSubset.size()));
    const Json options{
        {"seriesType", static_cast<int>(run.seriesType)},
        {"task", static_cast<int>(run.effectiveTask)},
        {"etalons", std::vector<uint16_t>(run.requiredList.begin(), run.requiredList.end())},
        {"length", series.dwSeriesSize},
        {"tmin", series.wTmin},
        {"tmax", series.wTmax},
        {"makingLevel", run.makingLevel},
        {"processingLevel", run.processingLevel},
        {"proceeding", run.subsetProceeding},
        {"subset", std::vector<int16_t>(selected.begin(), selected.end())},
        {"employment", series.wSubsetEmployment},
        {"initPosition", series.wSubsetInitPosition},
        {"storedSubsets", stored},
        {"baseline", parts.baseline},
    };
    const RandomStreams& streams = parts.streams;
    const auto pulses = parts.grid.wPulseValues();
    const auto noise = parts.grid.lpNoiseLevels();
    return Json{{"options", options},
                {"streams",
                 {streams.wCutStartSeed, streams.wCutEndSeed, streams.wPositionSeed,
                  streams.wPulseCountSeed, streams.wSubsetSeed, streams.wSubsetRepeatSeed,
                  streams.wAlphabetNoiseSeed, streams.wNoiseSeed}},
                {"alphabet", {{"etalons", run.alphabet.size()}, {"samples", hash}}},
                {"grid",
                 {{"pulses", std::vector<int16_t>(pulses.begin(), pulses.end())},
                  {"noise", std::vector<int16_t>(noise.begin(), noise.end())},
                  {"repeats", parts.grid.repeats}}}};
}

std::string checkpointText(const SimulationCheckpoint& checkpoint) {
    const Json j{{"format", kFormat},
                 {"run", checkpoint.identity},
                 {"position", checkpoint.position},
                 {"sums", checkpoint.sums}};
    return j.dump() + '\n';
}

namespace {

// Checks a checkpoint field by field, as a series file is checked: a file cut
// short or edited by hand is refused naming what is wrong, never half read.
class CheckpointFields {
  public:
    explicit CheckpointFields(std::string name) : name_(std::move(name)) {}

    const Json& field(const Json& object, const char* key, const std::string& where) const {
        const auto found = object.find(key);
        if (found == object.end()) damaged(where + " has no \"" + key + "\"");
        return *found;
    }
    const Json& object(const Json& j, const std::string& what) const {
        if (!j.is_object()) damaged(what + " is not an object");
        return j;
    }
    // A whole number within [low, high].
    int64_t whole(const Json& j, const std::string& what, int64_t low, int64_t high) const {
        if (!j.is_number_integer()) damaged(what + " is not a whole number");
        if (j.is_number_unsigned() && j.get<uint64_t>() > uint64_t(INT64_MAX))
            damaged(what + " is out of range");
        const auto v = j.get<int64_t>();
        if (v < low || v > high) damaged(what + " is out of range");
        return v;
    }
    void wholeList(const Json& j, const std::string& what, int64_t low, int64_t high) const {
        if (!j.is_array()) damaged(what + " is not a list");
        for (std::size_t i = 0; i < j.size(); ++i)
            whole(j[i], what + "[" + std::to_string(i) + "]", low, high);
    }
    [[noreturn]] void damaged(const std::string& what) const {
        throw BadInput{"--resume: " + name_ + " is damaged: " + what};
    }

  private:
    std::string name_;
};

}  // namespace

SimulationCheckpoint parseCheckpoint(const std::string& text, const std::string& name) {
    const Json j = Json::parse(text, nullptr, false);
    if (!j.is_object() || j.value("format", Json()) != kFormat)
        throw BadInput{"--resume: " + name + " is not a checkpoint of simulate"};
    const CheckpointFields f(name);
    const Json& run = f.object(f.field(j, "run", "the checkpoint"), "\"run\"");
    if (!run.contains("options") && run.contains("arguments")) {
        throw BadInput{"--resume: " + name +
                       " was saved by an earlier etalon-cli, which knew its run by the words "
                       "typed; start the run again"};
    }
    f.object(f.field(run, "options", "\"run\""), "\"run.options\"");
    const Json& streams = f.field(run, "streams", "\"run\"");
    f.wholeList(streams, "\"run.streams\"", INT16_MIN, INT16_MAX);
    if (streams.size() != 8) f.damaged("\"run.streams\" does not hold 8 streams");
    f.object(f.field(run, "alphabet", "\"run\""), "\"run.alphabet\"");
    const Json& grid = f.object(f.field(run, "grid", "\"run\""), "\"run.grid\"");
    f.wholeList(f.field(grid, "pulses", "\"run.grid\""), "\"run.grid.pulses\"", INT16_MIN,
                INT16_MAX);
    f.wholeList(f.field(grid, "noise", "\"run.grid\""), "\"run.grid.noise\"", INT16_MIN, INT16_MAX);
    f.whole(f.field(grid, "repeats", "\"run.grid\""), "\"run.grid.repeats\"", 1, UINT32_MAX);
    SimulationCheckpoint c;
    c.identity = run;
    c.position = static_cast<uint32_t>(
        f.whole(f.field(j, "position", "the checkpoint"), "\"position\"", 0, UINT32_MAX));
    const Json& sums = f.field(j, "sums", "the checkpoint");
    f.wholeList(sums, "\"sums\"", INT64_MIN, INT64_MAX);
    c.sums = sums.get<std::vector<int64_t>>();
    return c;
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
    for (const char* key : {"options", "alphabet", "streams", "grid"}) {
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
    holdsSave_ = true;
    return true;
}

void CheckpointWriter::sayStopped(int signal) const {
    err_ << "etalon-cli: simulate stopped" << (signal ? " by " : "")
         << (signal ? StopSignals::name(signal) : "") << "; ";
    if (holdsSave_)
        err_ << path_ << " holds the first " << saved_ << " series: --resume " << path_
             << " continues\n";
    else
        err_ << "nothing was saved to " << path_ << " yet\n";
}

}  // namespace etalon::cli
