#include "cli/recording_files.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <atomic>
#include <sstream>
#include <thread>

#include "cli/commands.h"
#include "cli/simulate_run.h"
#include "cli/standard_output.h"
#include "cli/task_options.h"
#include "io/results_csv.h"

namespace etalon::cli {

namespace {

// A CSV field: quoted when it holds a comma, a quote or a line break.
std::string csvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

// The file's results with the file named: after the opening brace of every
// JSON line, or before every CSV row but the header.
std::string named(const std::string& file, const std::string& format, const std::string& text) {
    std::string result;
    std::istringstream lines(text);
    std::string line;
    bool header = format == "csv";
    const std::string json = nlohmann::json(file).dump();
    while (std::getline(lines, line)) {
        if (format == "csv") {
            if (!header) result += csvField(file) + ',' + line + '\n';
            header = false;
        } else if (line.size() > 1 && line.front() == '{') {
            result += "{\"file\":" + json + ',' + line.substr(1) + '\n';
        }
    }
    return result;
}

}  // namespace

std::vector<FileResult> restoreFiles(const std::vector<std::string>& files,
                                     const std::vector<std::size_t>& indices, unsigned threads,
                                     const OneRecording& one) {
    std::vector<FileResult> results(indices.size());
    std::atomic<std::size_t> next{0};
    const auto work = [&] {
        for (std::size_t k = next++; k < indices.size(); k = next++) {
            std::ostringstream fileOut, fileErr;
            FileResult& r = results[k];
            try {
                r.code = one(files[indices[k]], fileOut, fileErr);
            } catch (const BadInput& bad) {
                fileErr << "etalon-cli: " << bad.text << '\n';
                r.code = kExitBadInput;
            }
            r.out = fileOut.str();
            r.err = fileErr.str();
        }
    };
    std::vector<std::thread> pool;
    const unsigned count = std::clamp<unsigned>(
        threads, 1, static_cast<unsigned>(std::max<std::size_t>(indices.size(), 1)));
    for (unsigned t = 1; t < count; ++t)
        pool.emplace_back(work);
    work();
    for (std::thread& t : pool)
        t.join();
    return results;
}

int writeFileResults(const std::vector<std::string>& files, const std::vector<FileResult>& results,
                     const std::string& format, std::ostream& out, std::ostream& err) {
    int code = 0;
    if (format == "csv" &&
        !writeOutput(out, err, std::string("file,") + io::kResultsCsvHeader + '\n'))
        return kExitWriteFailed;
    for (std::size_t i = 0; i < files.size(); ++i) {
        err << results[i].err;
        code = std::max(code, results[i].code);
        if (results[i].code == 0 && !writeOutput(out, err, named(files[i], format, results[i].out)))
            return kExitWriteFailed;
    }
    return code;
}

int processRecordingFiles(const std::vector<std::string>& files, unsigned threads,
                          const std::string& format, const OneRecording& one, std::ostream& out,
                          std::ostream& err) {
    if (files.size() == 1) return one(files[0], out, err);
#ifdef ETALON_WITH_MPI
    if (launchedOnRanks())
        return processRecordingFilesOnRanks(files, threads, format, one, out, err);
#endif
    std::vector<std::size_t> all(files.size());
    for (std::size_t i = 0; i < all.size(); ++i)
        all[i] = i;
    return writeFileResults(files, restoreFiles(files, all, threads, one), format, out, err);
}

}  // namespace etalon::cli
