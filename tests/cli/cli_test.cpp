#include "cli/commands.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sstream>
#include <string>
#include <vector>

namespace etalon::cli {
namespace {

struct Result {
    int code;
    std::string out;
    std::string err;
};

Result runCli(std::vector<std::string> args) {
    args.insert(args.begin(), "etalon-cli");
    std::vector<const char*> argv;
    for (auto& a : args) argv.push_back(a.c_str());
    std::ostringstream out, err;
    const int code = run(static_cast<int>(argv.size()), argv.data(), out, err);
    return {code, out.str(), err.str()};
}

TEST(Cli, AlphabetListsTwentyEtalons) {
    const Result r = runCli({"alphabet"});
    ASSERT_EQ(r.code, 0) << r.err;
    const auto json = nlohmann::json::parse(r.out);
    ASSERT_EQ(json["etalons"].size(), 20u);
    EXPECT_EQ(json["etalons"][0]["wNumber"], 1);
    EXPECT_EQ(json["etalons"][0]["wSize"], 20);
    EXPECT_EQ(json["etalons"][10]["lpData"][0], -55);
}

}  // namespace
}  // namespace etalon::cli
