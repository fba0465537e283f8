// The options of every subcommand: one argument per line of the input.
// Inputs that would ask for long runs (big counts, grids, lengths) or read
// files are left out; their parsing is the same as for small values.
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "cli/commands.h"

namespace {

// The largest value of each option that keeps one run within milliseconds.
const std::map<std::string, int64_t>& limits() {
    static const std::map<std::string, int64_t> kLimits = {
        {"--count", 3},    {"--repeats", 2}, {"--noise-steps", 2}, {"--pulses-to", 6},
        {"--length", 400}, {"--threads", 2}, {"--pulses", 40}};
    return kLimits;
}

// Options a simulation must be given small, because their defaults are large.
constexpr const char* kSimulationBounds[] = {"--repeats", "--noise-steps", "--pulses-to",
                                             "--length"};

std::vector<std::string> splitLines(const uint8_t* data, std::size_t size) {
    std::vector<std::string> args;
    std::string current;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == '\n') {
            args.push_back(current);
            current.clear();
        } else {
            current.push_back(static_cast<char>(data[i]));
        }
    }
    args.push_back(current);
    // argv holds C strings: an argument ends at its first NUL, so judge it so.
    for (std::string& arg : args)
        arg.resize(std::char_traits<char>::length(arg.c_str()));
    return args;
}

// Whether the arguments ask only for small runs. A value that is no number
// is refused by the parser before anything runs, so it passes here.
bool small(const std::vector<std::string>& args) {
    std::map<std::string, int64_t> given;
    bool simulate = false, process = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i], value;
        if (name == "simulate") simulate = true;
        if (name == "process") process = true;
        if (name.find("--input") == 0) return false;
        const auto equals = name.find('=');
        if (equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.resize(equals);
        } else if (i + 1 < args.size()) {
            value = args[i + 1];
        }
        const auto limit = limits().find(name);
        if (limit == limits().end()) continue;
        int64_t number = 0;
        const auto [rest, error] =
            std::from_chars(value.data(), value.data() + value.size(), number);
        if (error != std::errc() || rest != value.data() + value.size()) continue;
        if (number > limit->second) return false;
        given[name] = number;
    }
    if (simulate) {
        for (const char* name : kSimulationBounds)
            if (!given.count(name)) return false;
    }
    if (process && !given.count("--length")) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size > 1024) return 0;
    std::vector<std::string> args = splitLines(data, size);
    if (args.size() > 40 || !small(args)) return 0;
    args.insert(args.begin(), "etalon-cli");
    std::vector<const char*> argv;
    for (const auto& a : args)
        argv.push_back(a.c_str());
    std::ostringstream out, err;
    const int code = etalon::cli::run(static_cast<int>(argv.size()), argv.data(), out, err);
    // Every refusal says why.
    if (code != 0 && err.str().empty()) std::abort();
    return 0;
}
