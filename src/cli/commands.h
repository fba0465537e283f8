#pragma once

#include <ostream>

namespace etalon::cli {

// Exit codes: 0 done, 1 the core refused or failed (its report is on err),
// 2 bad options or input.
inline constexpr int kExitRefused = 1;
inline constexpr int kExitBadInput = 2;

int run(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

}  // namespace etalon::cli
