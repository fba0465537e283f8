#include "cli/standard_output.h"

#include <cerrno>
#include <cstring>

namespace etalon::cli {

bool writeOutput(std::ostream& out, std::ostream& err, std::string_view text) {
    errno = 0;  // a stream keeps no reason; the failed system call leaves it here
    out << text;
    out.flush();
    if (out) return true;
    const int reason = errno;
    err << "etalon-cli: cannot write standard output"
        << (reason != 0 ? std::string(": ") + std::strerror(reason) : std::string()) << '\n';
    return false;
}

}  // namespace etalon::cli
