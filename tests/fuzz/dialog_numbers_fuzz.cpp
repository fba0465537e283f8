// The number reads of the dialogs, alone and through the dialog procedures:
// each line of the input is typed into the next edit control, then OK.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "dialogs/dialog_text.h"
#include "dialogs/series_dialogs.h"
#include "dialogs/settings_dialogs.h"
#include "dialogs/simulation_dialogs.h"
#include "series/series_generator.h"
#include "support/fake_dialog_context.h"

namespace {

using etalon::platform::ControlKind;
using etalon::platform::DialogProcedure;
using etalon::platform::DialogTemplate;

class Fields {
  public:
    Fields(const uint8_t* data, std::size_t size)
        : text_(reinterpret_cast<const char*>(data), size) {}
    // The next line, cut as the edit controls cut what is typed.
    std::string next() {
        const auto end = text_.find('\n', at_);
        std::string_view line = text_.substr(at_, end == std::string_view::npos ? end : end - at_);
        at_ = end == std::string_view::npos ? text_.size() : end + 1;
        return std::string(line.substr(0, etalon::kEditTextLimit));
    }

  private:
    std::string_view text_;
    std::size_t at_ = 0;
};

// Types into every edit and presses OK: the dialog either ends or says why not.
void pressOk(const DialogTemplate& dialog, const DialogProcedure& procedure, Fields& fields) {
    etalon::test::FakeDialogContext context;
    context.start(procedure);
    for (const auto& control : dialog.controls)
        if (control.kind == ControlKind::Edit) context.texts[control.id] = fields.next();
    context.press(procedure, etalon::platform::kIdOk);
    if (!context.ended && context.messages.empty()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    (void)etalon::leadingInteger(text);
    (void)etalon::leadingDouble(text);
    std::vector<uint16_t> numbers(size % 23);
    etalon::parseNumberList(text, numbers);

    Fields fields(data, size);
    etalon::SeriesGeometryValues geometry;
    pressOk(etalon::seriesGeometryTemplate(), etalon::seriesGeometryProcedure(geometry), fields);

    std::vector<uint16_t> sequence(static_cast<std::size_t>(size % 40), 1);
    etalon::SeriesStructureValues structure;
    structure.dlgMinPulses = 1;
    structure.dlgMaxPulses = static_cast<uint16_t>(sequence.size());
    structure.requestedPulses = static_cast<uint16_t>(sequence.size());
    structure.editedSequence = sequence;
    structure.maxNoiseLevel = etalon::kLargestNoiseLevel;
    pressOk(etalon::seriesStructureTemplate(), etalon::seriesStructureProcedure(structure), fields);
    if (structure.accepted &&
        (structure.dlgNoiseLevel < 0 || structure.dlgNoiseLevel > structure.maxNoiseLevel))
        std::abort();

    std::vector<uint16_t> list(20, 1);
    etalon::RequiredListValues required;
    required.requiredList = list;
    pressOk(etalon::requiredListTemplate(), etalon::requiredListProcedure(required), fields);
    if (required.requiredCount > list.size()) std::abort();

    etalon::LocationParametersValues location;
    location.maxNoiseLevel = etalon::kLargestNoiseLevel;
    pressOk(etalon::locationParametersTemplate(), etalon::locationParametersProcedure(location),
            fields);

    etalon::StatisticsViewValues view;
    view.fixedUpperBound = static_cast<int32_t>(size % 2);
    pressOk(etalon::statisticsViewTemplate(), etalon::statisticsViewProcedure(view), fields);
    etalon::StatisticsViewValues recognitionView;
    recognitionView.fixedUpperBound = 1;
    pressOk(etalon::recognitionStatisticsViewTemplate(),
            etalon::recognitionStatisticsViewProcedure(recognitionView), fields);

    etalon::SubsetSettingsValues subset;
    pressOk(etalon::subsetSettingsTemplate(), etalon::subsetSettingsProcedure(subset), fields);
    etalon::DrawingSettingsValues drawing;
    pressOk(etalon::drawingSettingsTemplate(), etalon::drawingSettingsProcedure(drawing), fields);
    return 0;
}
