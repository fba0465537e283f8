// Every text of every dialog, measured in the font it is drawn with, fits the
// room its control leaves for it, as the style lays the control out.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QStyleOptionFrame>
#include <QStyleOptionGroupBox>
#include <array>
#include <optional>
#include <vector>

#include "dialogs/file_dialogs.h"
#include "dialogs/series_dialogs.h"
#include "dialogs/settings_dialogs.h"
#include "dialogs/simulation_dialogs.h"
#include "platform/qt_dialog.h"

namespace etalon {
namespace {

using platform::DialogProcedure;
using platform::DialogTemplate;
using platform::TemplateDialog;

struct TextRoom {
    QString text;
    int room = 0;  // pixels the control leaves for its text
};

int buttonRoom(const QAbstractButton& button, QStyle::SubElement contents) {
    QStyleOptionButton option;
    option.initFrom(&button);
    option.text = button.text();
    return button.style()->subElementRect(contents, &option, &button).width();
}

// Check boxes and radio buttons lose their indicator and its spacing, push
// buttons their frame; a group box title runs from where the style puts it to
// the frame's right edge. An edit must show the widest value it accepts
// whole, inside its frame and the margin the line edit keeps each side.
std::optional<TextRoom> textRoom(const QWidget& widget, const platform::DialogControl& control) {
    if (auto* edit = qobject_cast<const QLineEdit*>(&widget)) {
        QStyleOptionFrame option;
        option.initFrom(edit);
        option.lineWidth = edit->hasFrame() ? edit->style()->pixelMetric(
                                                  QStyle::PM_DefaultFrameWidth, &option, edit)
                                            : 0;
        constexpr int kLineEditMargin = 2;
        const QMargins text = edit->textMargins();
        const int room =
            edit->style()->subElementRect(QStyle::SE_LineEditContents, &option, edit).width() -
            2 * kLineEditMargin - text.left() - text.right();
        return TextRoom{QString::fromStdString(control.widest), room};
    }
    if (auto* label = qobject_cast<const QLabel*>(&widget))
        return TextRoom{label->text(), label->contentsRect().width()};
    if (auto* box = qobject_cast<const QCheckBox*>(&widget))
        return TextRoom{box->text(), buttonRoom(*box, QStyle::SE_CheckBoxContents)};
    if (auto* radio = qobject_cast<const QRadioButton*>(&widget))
        return TextRoom{radio->text(), buttonRoom(*radio, QStyle::SE_RadioButtonContents)};
    if (auto* button = qobject_cast<const QPushButton*>(&widget))
        return TextRoom{button->text(), buttonRoom(*button, QStyle::SE_PushButtonContents)};
    if (auto* group = qobject_cast<const QGroupBox*>(&widget)) {
        QStyleOptionGroupBox option;
        option.initFrom(group);
        option.text = group->title();
        option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
        const QStyle& style = *group->style();
        const QRect frame =
            style.subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxFrame, group);
        const QRect title =
            style.subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, group);
        return TextRoom{group->title(), frame.right() - title.left()};
    }
    return std::nullopt;
}

struct Shown {
    int id;
    DialogTemplate dialog;
    DialogProcedure procedure;
};

TEST(DialogLayout, EveryTextFitsItsControlAndEveryDialogTheScreen) {
    SeriesGeometryValues geometry;
    // The widest pulse counts a series of 32767 samples allows.
    std::array<uint16_t, 30> sequence{};
    SeriesStructureValues structure{.dlgMinPulses = 1639,
                                    .dlgMaxPulses = 32748,
                                    .requestedPulses = 30,
                                    .editedSequence = sequence};
    std::array<uint16_t, 20> list{};
    RequiredListValues required{.requiredCount = 20, .requiredList = list};
    LocationParametersValues location;
    SubsetSettingsValues subset;
    DrawingSettingsValues drawing;
    StatisticsViewValues view;
    OpenSeriesValues recording{.seriesLength = 32767, .scale = 1.23457e-05, .pulseLength = 1000};
    EtalonFromSeriesValues cut{.seriesLength = 32767, .pulseLength = 1000};
    ReadRecordingValues reading;
    const std::vector<Shown> dialogs{
        {kDialogSeriesGeometry, seriesGeometryTemplate(), seriesGeometryProcedure(geometry)},
        {kDialogSeriesStructure, seriesStructureTemplate(), seriesStructureProcedure(structure)},
        {kDialogRequiredList, requiredListTemplate(), requiredListProcedure(required)},
        {kDialogLocationParameters, locationParametersTemplate(),
         locationParametersProcedure(location)},
        {kDialogSubsetSettings, subsetSettingsTemplate(), subsetSettingsProcedure(subset)},
        {kDialogDrawingSettings, drawingSettingsTemplate(), drawingSettingsProcedure(drawing)},
        {kDialogStatisticsView, statisticsViewTemplate(), statisticsViewProcedure(view)},
        {kDialogRecognitionStatisticsView, recognitionStatisticsViewTemplate(),
         recognitionStatisticsViewProcedure(view)},
        {kDialogOpenSeries, openSeriesTemplate(), openSeriesProcedure(recording)},
        {kDialogEtalonFromSeries, etalonFromSeriesTemplate(), etalonFromSeriesProcedure(cut)},
        {kDialogReadRecording, readRecordingTemplate(true, true),
         readRecordingProcedure(reading, {})},
    };
    int measured = 0;
    for (const Shown& shown : dialogs) {
        // Texts the procedure writes at start are measured as shown.
        const TemplateDialog dialog(shown.dialog, shown.procedure);
        EXPECT_LE(dialog.width(), 1024) << "dialog " << shown.id;
        EXPECT_LE(dialog.height(), 700) << "dialog " << shown.id;
        for (std::size_t i = 0; i < shown.dialog.controls.size(); ++i) {
            const QWidget& widget = *dialog.controls()[i];
            const std::optional<TextRoom> fit = textRoom(widget, shown.dialog.controls[i]);
            if (!fit || fit->text.isEmpty()) continue;
            ++measured;
            const int width = QFontMetrics(widget.font()).horizontalAdvance(fit->text);
            EXPECT_LE(width, fit->room)
                << "dialog " << shown.id << ", control " << shown.dialog.controls[i].id << " \""
                << fit->text.toStdString() << "\": text " << width << " px, room " << fit->room
                << " px";
        }
    }
    EXPECT_EQ(measured, 99 + 28);  // every text and every field of the eleven dialogs
}

}  // namespace
}  // namespace etalon
