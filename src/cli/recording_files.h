// `process --samples` over several files: each processed on its own, some at
// once, their results written in the order the files were given.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace etalon::cli {

// Restores one file, writing its results to `out` and its reports to `err`;
// returns its exit code (it may also throw BadInput).
using OneRecording =
    std::function<int(const std::string& file, std::ostream& out, std::ostream& err)>;

// Every file, `threads` at a time. JSON: each file's line, the file named
// first; CSV: one header and a `file` column. A file that fails is reported
// and the others still run; returns the largest exit code.
int processRecordingFiles(const std::vector<std::string>& files, unsigned threads,
                          const std::string& format, const OneRecording& one, std::ostream& out,
                          std::ostream& err);

}  // namespace etalon::cli
