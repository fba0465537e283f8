#include "cli/recording_process.h"

#include <nlohmann/json.hpp>

#include "cli/commands.h"
#include "cli/process_json.h"
#include "cli/standard_output.h"
#include "cli/task_options.h"
#include "io/results_csv.h"
#include "processing/recording_matched_filter.h"
#include "processing/restoring_stop.h"
#include "simulation/restoring_budget.h"

namespace etalon::cli {

namespace {

// Positions in the file's own index, as the CSV gives them.
nlohmann::ordered_json chainsJson(const RecordingChainResult& result, uint64_t first) {
    nlohmann::ordered_json chains = nlohmann::ordered_json::array();
    for (const RecordingChain& chain : result.chains) {
        std::vector<uint64_t> positions;
        std::vector<uint16_t> etalons, starts, ends;
        for (const RecordingPulse& p : chain.pulses) {
            positions.push_back(first + static_cast<uint64_t>(p.position));
            etalons.push_back(p.etalon);
            starts.push_back(p.cutStart);
            ends.push_back(p.cutEnd);
        }
        nlohmann::ordered_json j;
        j["criterion"] = chain.criterion;
        if (chain.etalon != 0) j["etalon"] = chain.etalon;
        j["pulses"] = chain.pulses.size();
        j["positions"] = positions;
        j["etalons"] = etalons;
        j["cutStarts"] = starts;
        j["cutEnds"] = ends;
        chains.push_back(std::move(j));
    }
    return chains;
}

// The rows chain by chain, so that a long result is never one string.
bool writeCsv(const RecordingChainResult& result, const io::Recording& recording, std::ostream& out,
              std::ostream& err) {
    if (!writeOutput(out, err, std::string(io::kResultsCsvHeader) + '\n')) return false;
    const io::ResultPlace place{recording.first, recording.sampleRate};
    for (std::size_t c = 0; c < result.chains.size(); ++c) {
        const RecordingChain& chain = result.chains[c];
        std::string rows;
        for (std::size_t k = 0; k < chain.pulses.size(); ++k) {
            const RecordingPulse& p = chain.pulses[k];
            rows += io::resultsCsvRow(c + 1, k + 1, static_cast<uint64_t>(p.position), place,
                                      p.etalon, p.cutStart, p.cutEnd, chain.criterion);
            if (rows.size() < (std::size_t{1} << 20) && k + 1 < chain.pulses.size()) continue;
            if (!writeOutput(out, err, rows)) return false;
            rows.clear();
        }
    }
    return true;
}

}  // namespace

int processWholeRecording(const RecordingArguments& args, const io::Recording& recording,
                          const WholeRecordingRun& run, std::ostream& out, std::ostream& err) {
    RecordingChainRequest request;
    request.samples = recording.samples;
    request.alphabet = run.alphabet;
    request.etalons = run.list;
    request.geometry = run.geometry;
    request.processingLevel = run.processingLevel;
    request.task = run.task;
    uint64_t reported = 0;
    if (run.progress) {
        request.progress = [&](uint64_t done, uint64_t total) {
            if (total == 0 || done * 10 / total == reported) return;
            reported = done * 10 / total;
            err << "process: " << args.path << ": " << reported * 10 << "% of "
                << recording.samples.size() << " samples\n";
        };
    }
    // The baseline holds its candidates: at most every position.
    const std::size_t need =
        run.matchedFilter ? recordingMatchedFilterMemoryNeed(request, recording.samples.size())
                          : recordingChainMemoryNeed(request);
    if (need > run.budget.bytes) {
        throw BadInput{"Restoring " + args.path + " needs about " + memoryText(need) +
                       " of memory besides its samples, but " + memoryText(run.budget.bytes) +
                       " is available (" + run.budget.source + ")"};
    }
    RecordingChainResult result;
    try {
        result = run.matchedFilter ? matchedFilterOverRecording(request)
                                   : restoreRecordingChain(request);
    } catch (const RecordingRefused& refused) {
        throw BadInput{args.path + ": " + refused.what()};
    }
    if (run.format == "csv") return writeCsv(result, recording, out, err) ? 0 : kExitWriteFailed;
    nlohmann::ordered_json j;
    j["recording"] = recordingToJson(recording);
    j["chains"] = chainsJson(result, recording.first);
    return writeOutput(out, err, j.dump() + '\n') ? 0 : kExitWriteFailed;
}

}  // namespace etalon::cli
