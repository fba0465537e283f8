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
// and the others still run; returns the largest exit code. Under mpirun the
// files are spread over the processes and process 0 writes, as one would.
int processRecordingFiles(const std::vector<std::string>& files, unsigned threads,
                          const std::string& format, const OneRecording& one, std::ostream& out,
                          std::ostream& err);

// What one file gave.
struct FileResult {
    std::string out, err;
    int code = 0;
};

// The files whose indices are given, `threads` at a time; a result per index.
std::vector<FileResult> restoreFiles(const std::vector<std::string>& files,
                                     const std::vector<std::size_t>& indices, unsigned threads,
                                     const OneRecording& one);

// Every file's results in order, as processRecordingFiles writes them.
int writeFileResults(const std::vector<std::string>& files, const std::vector<FileResult>& results,
                     const std::string& format, std::ostream& out, std::ostream& err);

// The files spread over the processes of a run under mpirun (built with Open MPI).
int processRecordingFilesOnRanks(const std::vector<std::string>& files, unsigned threads,
                                 const std::string& format, const OneRecording& one,
                                 std::ostream& out, std::ostream& err);

}  // namespace etalon::cli
