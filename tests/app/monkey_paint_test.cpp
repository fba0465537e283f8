// The monkey with the window painted after every event, offscreen: every
// state the commands and presses reach is drawn.
#include <gtest/gtest.h>

#include "app/painting.h"
#include "support/monkey.h"

namespace etalon {
namespace {

TEST(Monkey, EveryStateReachedIsPainted) {
    platform::Surface surface(1024, 700);
    std::array<std::optional<platform::Bitmap>, 5> bitmaps;
    test::RecordingSink reports;
    test::runMonkey(300, [&](AppState& state, WindowLayout& layout) {
        platform::DeviceContext dc(surface);
        paintWindow(state, layout, bitmaps, {0, 0, surface.width(), surface.height()}, dc, reports);
    });
    EXPECT_TRUE(reports.empty()) << reports.last().text;
}

}  // namespace
}  // namespace etalon
