#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "panels/subset_panel.h"
#include "platform/device_context.h"
#include "series/series_header.h"

namespace etalon {

inline constexpr platform::Color kPanelBackground{235, 240, 225};

// One raised button with its text centred.
void DrawButton(platform::DeviceContext& dc, const platform::Rect& r, std::string_view text);

// An outline only, right and bottom excluded, in the current pen.
void frameRect(platform::DeviceContext& dc, const platform::Rect& r);

// The layout's font measures for the panels' buttons.
SubsetPanelMetrics subsetPanelMetrics(const platform::DeviceContext& dc);

// The subset panel in `panelRect` for the first `count` entries of `list`:
// the offered etalons, the selection and the four buttons. Lays the panel out
// first, so presses find what was drawn.
void DrawSubsetPanel(platform::DeviceContext& dc, SubsetPanelState& panel,
                     const platform::Rect& panelRect, uint16_t count,
                     std::span<const uint16_t> list, const SeriesHeader* series);

// The same for the recognition of tuples: ten selection cells, six buttons
// and the reserved subsets, the picked one highlighted. The mark-all flag
// marks every selected cell (in the state too) and is then cleared.
void DrawTuplesSubsetPanel(platform::DeviceContext& dc, SubsetPanelState& panel,
                           const platform::Rect& panelRect, uint16_t count,
                           std::span<const uint16_t> list, const SeriesHeader* series);

}  // namespace etalon

#include "panels/params_header.h"

namespace etalon {

// The parameter panel in `panelRect`: the diagram of the position bounds,
// the values beside it, the " Tmin " label with the edit control's place and
// the two buttons. In redraw mode only what moves is erased and drawn again,
// unless the area was erased meanwhile. Without a record the panel says
// there is no series. Returns the record.
ParamsHeader* DrawParamsPanel(platform::DeviceContext& dc, ParamsHeader* header,
                              const platform::Rect& panelRect, ParamsPanelPlaces& places);

}  // namespace etalon
