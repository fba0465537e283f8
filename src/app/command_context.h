#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>

#include "app/app_state.h"
#include "app/command_host.h"
#include "app/window_layout.h"
#include "base/message_sink.h"
#include "processing/restoring.h"

namespace etalon {

// What every command handler works on: the state it changes, the layout it
// repaints, the window it asks and nests commands through, where its messages
// go and the procedures a restoration runs.
struct CommandContext {
    AppState& state;
    const WindowLayout& layout;
    CommandHost& host;
    MessageSink& sink;
    const RestoringProcedures& procedures;

    // The repaints several areas share (defined with the repaint commands).
    void invalidate(const Rect& rect, bool erase) { host.invalidate(&rect, erase); }
    void repaintGraphArea(bool erase);
    void repaintIfWorkingSetChanged(const std::array<int16_t, kEtalonsNumber + 1>& before);
    void repaintButtonColumn();
    // Each selector whose flag is set, with erase; the flags are cleared.
    void repaintFlaggedSelectors();
};

// What a command handler looks like when the command id alone chooses it;
// the areas declare theirs with it.
using CommandFn = void(CommandContext& ctx);

// The loaded alphabet and the working set, as the handlers read them.
inline std::span<const PulseHeader> alphabetOf(const AppState& s) {
    return {s.alphabet.data(), s.wEtalonsNumber};
}

inline std::span<const uint16_t> workingSet(const AppState& s) {
    return {s.lpRequiredList.data(),
            std::min<std::size_t>(s.wRequiredCount, s.lpRequiredList.size())};
}

}  // namespace etalon
