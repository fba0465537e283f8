#pragma once

#include <cstdint>
#include <ostream>

namespace etalon::cli {

// Exit codes: 0 done, 1 the core refused or failed (its report is on err) or
// the output could not be written, 2 bad options or input.
inline constexpr int kExitCoreFailed = 1;
inline constexpr int kExitWriteFailed = 1;
inline constexpr int kExitBadInput = 2;

// Positions are 16-bit signed in the records: the largest length, Tmin and
// Tmax taken, from the options and from series files alike.
inline constexpr int64_t kLargestPosition = 32767;

int run(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

}  // namespace etalon::cli
