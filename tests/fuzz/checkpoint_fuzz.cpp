// The checkpoint file of `simulate --resume`: parsed, written back, and
// checked against a run it may or may not belong to. Every refusal is a
// BadInput; anything else thrown ends the target.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "cli/simulation_checkpoint.h"
#include "cli/task_options.h"

namespace {

using Json = nlohmann::json;

// A run of a 2 x 2 grid of 3 repeats, as runIdentity shapes it.
const Json& identity() {
    static const Json kIdentity = Json::parse(R"({
        "options": {"task": 2, "length": 1200},
        "streams": [1, 2, 3, 4, 5, 6, 7, 8],
        "alphabet": {"etalons": 20, "samples": 12345},
        "grid": {"pulses": [1, 2], "noise": [0, 50], "repeats": 3}})");
    return kIdentity;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    etalon::cli::SimulationCheckpoint saved;
    try {
        saved = etalon::cli::parseCheckpoint(text, "fuzz.json");
    } catch (const etalon::cli::BadInput&) {
        return 0;
    }
    // What is written back reads as the same checkpoint. (The run's identity
    // is only compared, and a number beyond a double's range in it need not
    // survive the round.)
    const etalon::cli::SimulationCheckpoint again =
        etalon::cli::parseCheckpoint(etalon::cli::checkpointText(saved), "again.json");
    if (again.position != saved.position || again.sums != saved.sums) std::abort();
    try {
        etalon::cli::checkResumable(saved, identity(), "fuzz.json");
    } catch (const etalon::cli::BadInput&) {
    }
    return 0;
}
