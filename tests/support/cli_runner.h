#pragma once

#include <nlohmann/json.hpp>

#include <sstream>
#include <string>
#include <vector>

#include "cli/commands.h"

namespace etalon::test {

// What one run of etalon-cli printed and returned.
struct CliResult {
    int code;
    std::string out;
    std::string err;
    nlohmann::json json() const { return nlohmann::json::parse(out); }
};

// Runs the command line in-process, as `etalon-cli args...` would.
inline CliResult runCli(std::vector<std::string> args) {
    args.insert(args.begin(), "etalon-cli");
    std::vector<const char*> argv;
    for (auto& a : args)
        argv.push_back(a.c_str());
    std::ostringstream out, err;
    const int code = cli::run(static_cast<int>(argv.size()), argv.data(), out, err);
    return {code, out.str(), err.str()};
}

}  // namespace etalon::test
