#pragma once

#include <string>

#include "app/app_state.h"

namespace etalon::test {

// Names the parts in which two states differ, "" when they are equal, so a
// failed whole-state comparison says where to look.
inline std::string stateDifference(const AppState& a, const AppState& b) {
    std::string parts;
    const auto note = [&parts](bool same, const char* name) {
        if (same) return;
        if (!parts.empty()) parts += ", ";
        parts += name;
    };
    note(a.lpSeriesHeader == b.lpSeriesHeader, "lpSeriesHeader");
    note(a.lpChainsHeader == b.lpChainsHeader, "lpChainsHeader");
    note(a.lpRestErrorHeader == b.lpRestErrorHeader, "lpRestErrorHeader");
    note(a.lpBaselineErrorHeader == b.lpBaselineErrorHeader, "lpBaselineErrorHeader");
    note(a.lpBaselineSeriesHeader == b.lpBaselineSeriesHeader, "lpBaselineSeriesHeader");
    note(a.lpParamsHeader == b.lpParamsHeader, "lpParamsHeader");
    note(a.alphabet == b.alphabet, "alphabet");
    note(a.streams == b.streams, "streams");
    note(a.subsetPanel == b.subsetPanel, "subsetPanel");
    note(a.lpEtalonSequence == b.lpEtalonSequence, "lpEtalonSequence");
    note(a.longRecording == b.longRecording && a.recordingView == b.recordingView, "longRecording");
    if (parts.empty() && !(a == b)) parts = "settings";
    return parts;
}

}  // namespace etalon::test
