#include "cli/recording_files.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <atomic>
#include <sstream>
#include <thread>

#include "cli/commands.h"
#include "cli/standard_output.h"
#include "cli/task_options.h"
#include "io/results_csv.h"

namespace etalon::cli {

namespace {

struct FileResult {
    std::string out, err;
    int code = 0;
};

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

int processRecordingFiles(const std::vector<std::string>& files, unsigned threads,
                          const std::string& format, const OneRecording& one, std::ostream& out,
                          std::ostream& err) {
    if (files.size() == 1) return one(files[0], out, err);
    std::vector<FileResult> results(files.size());
    std::atomic<std::size_t> next{0};
    const auto work = [&] {
        for (std::size_t i = next++; i < files.size(); i = next++) {
            std::ostringstream fileOut, fileErr;
            FileResult& r = results[i];
            try {
                r.code = one(files[i], fileOut, fileErr);
            } catch (const BadInput& bad) {
                fileErr << "etalon-cli: " << bad.text << '\n';
                r.code = kExitBadInput;
            }
            r.out = fileOut.str();
            r.err = fileErr.str();
        }
    };
    std::vector<std::thread> pool;
    const unsigned count = std::clamp<unsigned>(threads, 1, static_cast<unsigned>(files.size()));
    for (unsigned t = 1; t < count; ++t)
        pool.emplace_back(work);
    work();
    for (std::thread& t : pool)
        t.join();

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

}  // namespace etalon::cli
