#pragma once

#include <ostream>
#include <string_view>

namespace etalon::cli {

// Writes `text` to standard output (`out`) and flushes it, so that a full disk
// or a closed descriptor is noticed at the write that failed, not lost at exit.
// A failed write is reported on `err` naming standard output and the reason;
// returns false then.
bool writeOutput(std::ostream& out, std::ostream& err, std::string_view text);

}  // namespace etalon::cli
