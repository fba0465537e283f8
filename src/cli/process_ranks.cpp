// Several recordings under mpirun: process r restores files r, r + size, ...,
// and process 0 writes every file's results in the order given.
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdint>

#include "cli/mpi_session.h"
#include "cli/recording_files.h"

namespace etalon::cli {

int processRecordingFilesOnRanks(const std::vector<std::string>& files, unsigned threads,
                                 const std::string& format, const OneRecording& one,
                                 std::ostream& out, std::ostream& err) {
    MpiSession mpi;
    std::vector<std::size_t> mine;
    for (std::size_t i = mpi.rank(); i < files.size(); i += mpi.size())
        mine.push_back(i);
    const std::vector<FileResult> results = restoreFiles(files, mine, threads, one);
    nlohmann::json sent = nlohmann::json::array();
    for (std::size_t k = 0; k < mine.size(); ++k)
        sent.push_back({{"file", mine[k]},
                        {"code", results[k].code},
                        {"out", results[k].out},
                        {"err", results[k].err}});
    const std::vector<std::string> gathered = gatherText(sent.dump(), mpi);
    int64_t code = 0;
    if (mpi.rank() == 0) {
        std::vector<FileResult> all(files.size());
        for (const std::string& text : gathered) {
            for (const auto& r : nlohmann::json::parse(text))
                all[r["file"].get<std::size_t>()] = {r["out"], r["err"], r["code"]};
        }
        code = writeFileResults(files, all, format, out, err);
    }
    // Every process ends as process 0 does, so mpirun reports its code.
    allReduce(std::span(&code, 1), MPI_MAX);
    return static_cast<int>(code);
}

}  // namespace etalon::cli
