#include "cli/stderr_sink.h"

#include <string>

namespace etalon::cli {

int StderrSink::show(std::string_view text, std::string_view caption, MessageIcon) {
    ++reports_;
    std::string line(text);
    while (!line.empty() && line.back() == '\n')
        line.pop_back();
    // A one-line report names its source; a long one (a dump) is printed as it is.
    std::string source(caption);
    source.erase(0, source.find_first_not_of(' '));
    source.erase(source.find_last_not_of(' ') + 1);
    err_ << line;
    if (!source.empty() && line.find('\n') == std::string::npos) err_ << " (" << source << ')';
    err_ << '\n';
    return kMessageOk;
}

}  // namespace etalon::cli
