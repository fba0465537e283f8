#include "graphs/series_graph_text.h"

#include <algorithm>
#include <cstdio>

#include "graphs/series_measures.h"
#include "graphs/text_format.h"

namespace etalon {
namespace {

// A pulse list read only as far as all its arrays reach.
struct PulseListView {
    const std::vector<int16_t>& positions;
    const std::vector<int16_t>& etalons;
    const std::vector<int16_t>& cutStarts;
    const std::vector<int16_t>& cutEnds;
    int count;

    PulseListView(const std::vector<int16_t>& p, const std::vector<int16_t>& e,
                  const std::vector<int16_t>& s, const std::vector<int16_t>& f, int quantity)
        : positions(p),
          etalons(e),
          cutStarts(s),
          cutEnds(f),
          count(std::min({quantity, int(p.size()), int(e.size()), int(s.size()), int(f.size())})) {}
};

PulseListView truePulses(const SeriesHeader& s) {
    return {s.lpPositions, s.lpEtalons, s.lpCutStarts, s.lpCutEnds, s.wImpulseQuantity};
}

PulseListView restoredPulses(const SeriesHeader& s) {
    return {s.lpRestoredPositions, s.lpRestoredEtalons, s.lpRestoredCutStarts, s.lpRestoredCutEnds,
            s.wRestoredQuantity};
}

// "%d", then the letter, then "[%d..%d]" on cut-off series; the prefix and
// the closing of the range differ from list to list.
void appendPulse(std::string& text, const char* positionFormat, const PulseListView& list, int k,
                 bool letter, bool cutoff, const char* rangeFormat) {
    appendFormatted(text, positionFormat, list.positions[k]);
    if (letter) appendFormatted(text, "%c", etalonLetter(list.etalons[k]));
    if (cutoff) appendFormatted(text, rangeFormat, list.cutStarts[k], list.cutEnds[k]);
}

std::string taskLine(const ChainsHeader& chains) {
    std::string line;
    appendFormatted(
        line, " %s for series with %s ",
        codeText(chains.lpTaskName, "task", codeNumber(chains.wEffectiveTask)).c_str(),
        codeText(chains.lpSeriesTypeName, "type", codeNumber(chains.wSeriesType)).c_str());
    return line;
}

std::string seriesLine(const SeriesHeader& series, int16_t amplitude, bool truthKnown) {
    std::string line;
    appendFormatted(line, " series length %d, ", int(series.dwSeriesSize));
    appendFormatted(line, "Tmin=%d, Tmax=%d, ", series.wTmin, series.wTmax);
    if (!truthKnown) {
        appendFormatted(line, " amplitude %d, N/S %s", amplitude, kTruthUnknown);
        return line;
    }
    const SeriesEnergies e = seriesEnergies(series);
    appendFormatted(line, " amplitude %d, noise level %d, allN/S %.3g,  N/S %.3g", amplitude,
                    series.wNoiseLevel, e.allNoiseToSignal(), e.pulseNoiseToSignal());
    return line;
}

std::string countLine(const RunCodes& run, const ChainsHeader* chains, const SeriesHeader& series,
                      bool truthKnown) {
    std::string line;
    if (truthKnown || series.wImpulseQuantity > 0) {
        appendFormatted(line, " pulses number %d [%d-%d], length %d", series.wImpulseQuantity,
                        series.wMinPulses, series.wMaxPulses, series.wImpulseSize);
    } else {
        appendFormatted(line, " pulses number unknown [%d-%d], length %d", series.wMinPulses,
                        series.wMaxPulses, series.wImpulseSize);
    }
    if (run.recorded() && run.cutoff()) {
        appendFormatted(line, ", saved energy level for making/processing %d/%d",
                        chains->wMakingLevel, chains->wProcessingLevel);
    }
    return line;
}

std::string truePulsesLine(const RunCodes& run, const SeriesHeader& series, bool letters) {
    std::string line = " pulses:";
    const PulseListView list = truePulses(series);
    for (int k = 0; k < list.count; ++k) {
        if (k > 18) {
            line += "...";
            break;
        }
        appendPulse(line, " %d", list, k, letters, run.cutoff(), "[%d..%d] ");
    }
    return line;
}

void appendTuples(std::string& line, const RunCodes& run, const SeriesHeader& series,
                  bool letters) {
    const PulseListView list = restoredPulses(series);
    const int tuples =
        std::min({int(series.wRestoredTuples), int(series.lpRestoredTupleFirst.size()),
                  int(series.lpRestoredTupleSecond.size())});
    for (int t = 0; t < tuples; ++t) {
        const int f = series.lpRestoredTupleFirst[t] - 1;
        const int g = std::min<int>(series.lpRestoredTupleSecond[t], list.count);
        if (f > 18) {
            line += " ... ";
            break;
        }
        line += " {";
        for (int j = std::max(f, 0); j < g; ++j) {
            appendPulse(line, "%d", list, j, letters, run.cutoff(), "[%d..%d]");
            line += ' ';
        }
        if (line.back() == ' ') line.pop_back();
        line += "} ";
    }
}

// The second column of a chain row: positions, letters and kept parts.
std::string positionsColumn(const PulseListView& list, bool letter, bool cutoff) {
    std::string text;
    for (int j = 0; j < list.count; ++j) {
        if (j > 18) {
            text += " ... ";
            break;
        }
        appendPulse(text, "  %d", list, j, letter, cutoff, " [%d..%d] ");
    }
    return text;
}

}  // namespace

RunCodes::RunCodes(const ChainsHeader* chains) {
    if (!chains) return;
    state = chains->wState;
    seriesType = chains->wSeriesType;
    effectiveTask = chains->wEffectiveTask;
}

HalfRange seriesHalfRange(int16_t amplitude, int16_t noiseLevel) {
    int16_t a = amplitude;
    if (a == 0) {
        a = 128;
        // Doubling stops where 16 bits would wrap, so a huge noise cannot loop forever.
        while (a < noiseLevel && a <= INT16_MAX / 2)
            a = static_cast<int16_t>(a * 2);
    }
    int16_t range = std::max<int16_t>(a, static_cast<int16_t>((8 * noiseLevel) / 3));
    range = static_cast<int16_t>(range + range / 8);
    return {a, range};
}

bool etalonLettersShown(const ChainsHeader* chains, const SeriesHeader& series) {
    const RunCodes run(chains);
    if (run.recorded()) return run.effectiveTask != TaskCode::Detection;
    return !series.lpRestoredEtalons.empty() && series.lpRestoredEtalons[0] != 0;
}

char etalonLetter(int32_t number) {
    return static_cast<char>(number + 96);
}

std::vector<std::string> seriesHeaderLines(const ChainsHeader* chains, const SeriesHeader& series,
                                           int16_t amplitude, bool letters, bool truthKnown) {
    const RunCodes run(chains);
    std::vector<std::string> lines;
    if (run.recorded()) lines.push_back(taskLine(*chains));
    lines.push_back(seriesLine(series, amplitude, truthKnown));
    lines.push_back(countLine(run, chains, series, truthKnown));
    lines.push_back(truthKnown ? truePulsesLine(run, series, letters)
                               : std::string(" pulses: ") + kTruthUnknown);
    return lines;
}

std::string restoredPulsesLine(const ChainsHeader* chains, const SeriesHeader& series, bool letters,
                               bool truthKnown) {
    const RunCodes run(chains);
    std::string line;
    appendFormatted(line, "Detected %d", series.wRestoredQuantity);
    if (truthKnown && series.wRestoredQuantity != series.wImpulseQuantity)
        appendFormatted(line, " (%d)", series.wImpulseQuantity);
    line += series.wRestoredQuantity == 1 ? " pulse" : " pulses";
    line += ": ";
    if (run.tupleResult()) {
        appendTuples(line, run, series, letters);
        return line;
    }
    const PulseListView list = restoredPulses(series);
    for (int j = 0; j < list.count; ++j) {
        if (j > 8) {
            line += " ... ";
            break;
        }
        appendPulse(line, " %d", list, j, letters, run.cutoff(), "[%d..%d]");
    }
    return line;
}

std::string restoreErrorLine(int32_t error) {
    std::string line;
    appendFormatted(line, "Restore Error %d. ", error);
    return line;
}

std::string unknownRestoreErrorLine() {
    return std::string("Restore Error: ") + kTruthUnknown + ". ";
}

ChainTableText chainTableText(const ChainsHeader* chains, const SeriesHeader& series, bool letters,
                              int32_t trueMeasure, bool truthKnown) {
    const RunCodes run(chains);
    const bool firstLetter = run.recorded() && run.effectiveTask == TaskCode::Recognition;
    const bool names = run.recorded() ? run.effectiveTask == TaskCode::Joint : letters;
    ChainTableText table;
    if (chains) {
        table.hasTable = true;
        table.heading.first = std::string(" n ") + (firstLetter ? "et " : "") + " measure ";
        table.heading.second =
            std::string("  positions") + (names ? " and names" : "") + " of etalons in series";
        const int shown = std::min<int>({chains->wPretenders, 6, chains->wMaxSize});
        for (int l = 0; l < shown; ++l) {
            ChainTableText::Row row;
            appendFormatted(row.first, "%2d. ", l + 1);
            if (firstLetter)
                appendFormatted(row.first, " %c ", etalonLetter(chains->pulsesList(l)[0]));
            appendFormatted(row.first, "  %7d", chains->distance(l));
            const int count = std::clamp<int>(chains->pulsesQuantity(l), 0, chains->wMaxPulses);
            // Chain rows are spans; view them through vectors of the same entries.
            const auto take = [count](std::span<const int16_t> s) {
                return std::vector<int16_t>(s.begin(), s.begin() + count);
            };
            const auto e = take(chains->pulsesList(l)), p = take(chains->positionsList(l));
            const auto s = take(chains->cutStartsList(l)), f = take(chains->cutEndsList(l));
            row.second = positionsColumn({p, e, s, f, count}, names, run.cutoff());
            table.rows.push_back(std::move(row));
        }
    }
    appendFormatted(table.trueRow.first, "%2d. ", 0);
    if (!truthKnown) {
        table.trueRow.second = std::string("  ") + kTruthUnknown;
        return table;
    }
    if (firstLetter && !series.lpEtalons.empty())
        appendFormatted(table.trueRow.first, " %c ", etalonLetter(series.lpEtalons[0]));
    appendFormatted(table.trueRow.first, "  %7d", trueMeasure);
    table.trueRow.second = positionsColumn(truePulses(series), names, run.cutoff());
    return table;
}

}  // namespace etalon
