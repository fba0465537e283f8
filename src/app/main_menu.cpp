#include "app/main_menu.h"

namespace etalon {

using platform::MenuEntry;

namespace {

MenuEntry fileMenu() {
    return MenuEntry::popup(
        " File", {
                     MenuEntry::item(kCmdNewPulses, " New pulses... "),
                     MenuEntry::item(kCmdCreateSeries, " Create series... "),
                     MenuEntry::item(kCmdViewSeriesParameters, " View series parameters..."),
                     MenuEntry::item(kCmdSelectPulses, " Select set of pulses"),
                     MenuEntry::separator(),
                     MenuEntry::item(kCmdOpenSeries, " Open series..."),
                     MenuEntry::item(kCmdSaveSeries, " Save series..."),
                     MenuEntry::item(kCmdExportResults, " Export results..."),
                     MenuEntry::separator(),
                     MenuEntry::item(kCmdOpenEtalons, " Open etalons..."),
                     MenuEntry::item(kCmdSaveEtalons, " Save etalons..."),
                     MenuEntry::item(kCmdEtalonFromSeries, " Etalon from series..."),
                     MenuEntry::separator(),
                     MenuEntry::item(kCmdSaveImage, " Save image as..."),
                     MenuEntry::item(kCmdExportSimulationTable, " Export simulation table..."),
                     MenuEntry::separator(),
                     MenuEntry::item(kCmdExit, " Exit"),
                 });
}

MenuEntry processingMenu() {
    return MenuEntry::popup(
        " Processing",
        {
            MenuEntry::item(kCmdSameData, " Processing Same Data"),
            MenuEntry::item(kCmdNextData, " Processing Next Data ", "F5"),
            MenuEntry::separator(),
            MenuEntry::item(kCmdMoreDetails, " More details"),
            MenuEntry::item(kCmdTypeMoreDetails, " Type more detales"),
            MenuEntry::item(kCmdShowMatchedFilterPulses, " Show matched filter pulses"),
            MenuEntry::separator(),
            MenuEntry::item(kCmdFixedCase, " Fixed case"),
            MenuEntry::item(kCmdUnfixedCase, " Unfixed case"),
            MenuEntry::separator(),
            MenuEntry::item(kCmdStatSimulation, " Statistical Simulation"),
            MenuEntry::item(kCmdShowStatSimulation, " Show Statistical Simulation"),
            MenuEntry::separator(),
            MenuEntry::item(kCmdRepeatDetection, " Repeat Detection"),
            MenuEntry::item(kCmdRepeatRecognition, " Repeat Recognition"),
            MenuEntry::item(kCmdRepeatJoint, " Repeat Joint Detection and Discrimination"),
            MenuEntry::item(kCmdRepeatSeriesProcessing, " Repeat Series Processing"),
        });
}

MenuEntry settingsMenu() {
    return MenuEntry::popup(
        " Settings",
        {
            MenuEntry::popup(
                " Select Task Type",
                {
                    MenuEntry::item(kCmdDetection, " Detection"),
                    MenuEntry::item(kCmdRecognition, " Recognition"),
                    MenuEntry::item(kCmdJointDetection, " Joint Detection and Identification"),
                    MenuEntry::item(kCmdSeriesProcessing, " Series Processing"),
                }),
            MenuEntry::popup(
                " Select Series Type",
                {
                    MenuEntry::item(kCmdFixedWhole, " Fixed Number of Whole Pulses"),
                    MenuEntry::item(kCmdUnfixedWhole, " Unfixed Number of Whole Pulses"),
                    MenuEntry::item(kCmdFixedCutoff, " Fixed Number of Cutoffs Pulses"),
                    MenuEntry::item(kCmdUnfixedCutoff, " Unfuxed Number of Cutoffs Pulses"),
                    MenuEntry::separator(),
                    MenuEntry::item(kCmdFixedTuples, " Fixed Number of Whole Pulses Tuples "),
                    MenuEntry::item(kCmdUnfixedTuples, " Unfixed Number of Whole Pulses Tuples "),
                }),
            MenuEntry::separator(),
            MenuEntry::item(kCmdSubsetSettings, " Subset settings ..."),
            MenuEntry::item(kCmdDrawingSettings, " Drawing settings ..."),
            MenuEntry::separator(),
            MenuEntry::item(kCmdCompareMatchedFilter, " Compare with matched filter"),
        });
}

MenuEntry elseOneMenu() {
    return MenuEntry::popup(" Else One",
                            {
                                MenuEntry::item(kCmdElseCreateSeries, " Create Series..."),
                                MenuEntry::separator(),
                                MenuEntry::item(kCmdDebuggingRepeat, " Debugging repeat "),
                            });
}

}  // namespace

std::vector<MenuEntry> mainMenu() {
    return {fileMenu(), processingMenu(), settingsMenu(), elseOneMenu()};
}

}  // namespace etalon
