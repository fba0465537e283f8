#pragma once

#include <vector>

#include "platform/menu.h"

namespace etalon {

// Command ids of the main menu.
enum MenuCommand : uint16_t {
    kCmdCreateSeries = 40001,
    kCmdNewPulses = 40002,
    kCmdSaveImage = 40003,
    kCmdExit = 40004,
    kCmdDetection = 40005,
    kCmdRecognition = 40006,
    kCmdJointDetection = 40007,
    kCmdFixedWhole = 40008,
    kCmdUnfixedWhole = 40009,
    kCmdFixedCutoff = 40010,
    kCmdUnfixedCutoff = 40011,
    kCmdStatSimulation = 40012,
    kCmdElseCreateSeries = 40014,
    kCmdShowStatSimulation = 40015,
    kCmdSelectPulses = 40016,
    kCmdSameData = 40017,
    kCmdNextData = 40018,
    kCmdMoreDetails = 40019,
    kCmdTypeMoreDetails = 40020,
    kCmdFixedCase = 40021,
    kCmdUnfixedCase = 40022,
    kCmdRepeatDetection = 40023,
    kCmdRepeatRecognition = 40024,
    kCmdRepeatJoint = 40025,
    kCmdRepeatSeriesProcessing = 40026,
    kCmdSeriesProcessing = 40027,
    kCmdFixedTuples = 40028,
    kCmdSubsetSettings = 40029,
    kCmdDrawingSettings = 40030,
    kCmdViewSeriesParameters = 40031,
    kCmdUnfixedTuples = 40032,
    kCmdDebuggingRepeat = 40033,
    kCmdExportSimulationTable = 40034,
    kCmdOpenEtalons = 40035,
    kCmdSaveEtalons = 40036,
    kCmdEtalonFromSeries = 40037,
    kCmdOpenSeries = 40038,
    kCmdSaveSeries = 40039,
    kCmdExportResults = 40040,
    kCmdCompareMatchedFilter = 40041,
    kCmdShowMatchedFilterPulses = 40042,
};

// Internal commands the window sends itself.
enum InternalCommand : uint16_t {
    kCmdClose = 204,
    kCmdNextSeries = 205,
    kCmdRepaintAll = 206,
    kCmdNothing = 207,
    kCmdNewGeometry = 208,
    kCmdAddNoise = 209,
    kCmdProcess = 210,
    kCmdSelectorPick = 211,
    kCmdEtalonHighlight = 212,
    kCmdGridRepaint = 213,
    kCmdLocationParameters = 214,
    kCmdSeriesParameters = 215,
    kCmdMakeSeries = 216,
    kCmdResultsRepaint = 218,
    kCmdSelectionRepaint = 221,
    kCmdGraphRepaint = 222,
    kCmdGraphOverlay = 223,
    kCmdReservedRowsRepaint = 224,
};

inline constexpr uint16_t kParamEditId = 225;

// The menu bar of the main window, in its order, texts as they are shown.
std::vector<platform::MenuEntry> mainMenu();

}  // namespace etalon
