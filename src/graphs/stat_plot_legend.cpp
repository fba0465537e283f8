#include "graphs/stat_plot_parts.h"

#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "graphs/graph_parts.h"

namespace etalon::stat_plot {
namespace {

using platform::DeviceContext;
using platform::Point;

// Beside the matched filter's curves: where the comparison is uneven.
constexpr char kMatchedFilterNote[] =
    "The matched filter pays for pulses it does not take only in the restored error, not in "
    "the detection error.";

// The text cut at blanks into lines of at most `width` pixels; a word wider
// than that gets a line of its own.
std::vector<std::string> wrappedText(const DeviceContext& dc, const std::string& text,
                                     int32_t width) {
    std::vector<std::string> lines;
    std::string line, word;
    std::istringstream words(text);
    while (words >> word) {
        const std::string longer = line.empty() ? word : line + " " + word;
        if (!line.empty() && dc.textExtent(longer).cx > width) {
            lines.push_back(line);
            line = word;
        } else {
            line = longer;
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

}  // namespace

void drawComparisonLegend(const StatPaint& p, int32_t y, bool curves) {
    const int32_t lh = p.g.lh, x = p.textX();
    // The error axis' values begin about three label characters left of the plot.
    const int32_t width = p.pg.px - 3 * p.pg.labelFont - x;
    y += lh;
    if (!curves) {
        for (const std::string& line : wrappedText(p.dc, kNoMatchedFilterForTuples, width)) {
            p.labels.place({x, y, line});
            y += lh + 1;
        }
        return;
    }
    const int32_t sample = 3 * lh;
    const std::pair<CurveStyle, const char*> methods[] = {{kExactCurves, "exact"},
                                                          {kMatchedFilterCurves, "matched filter"}};
    for (const auto& [style, name] : methods) {
        if (p.labels.place({x + sample + lh / 2, y, name})) {
            const int32_t mid = y + lh / 2;
            std::optional<platform::PenGuard> pen;
            if (style.dashed) pen.emplace(p.dc, kMatchedFilterColour);
            for (const Point& o : kTwice) {
                drawSegment(p.dc, {x + o.x, mid + o.y}, {x + sample + o.x, mid + o.y}, style);
                if (style.dashed) break;  // as the curves: one pass
            }
        }
        y += lh + 1;
    }
    y += lh / 2;
    for (const std::string& line : wrappedText(p.dc, kMatchedFilterNote, width)) {
        p.labels.place({x, y, line});
        y += lh + 1;
    }
}

}  // namespace etalon::stat_plot
