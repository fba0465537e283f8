#include "app/command_handler.h"

#include "app/file_commands.h"
#include "app/main_menu.h"
#include "app/panel_commands.h"
#include "app/repaint_commands.h"
#include "app/simulation_commands.h"

namespace etalon {
namespace {

// The menu commands that make a new series into the series record.
bool replacesSeries(uint16_t id) {
    switch (id) {
        case kCmdCreateSeries:
        case kCmdNextData:
        case kCmdFixedCase:
        case kCmdUnfixedCase:
        case kCmdRepeatDetection:
        case kCmdRepeatRecognition:
        case kCmdRepeatJoint:
        case kCmdRepeatSeriesProcessing:
        case kCmdStatSimulation:
            return true;
        default:
            return false;
    }
}

void rerun(CommandContext& ctx, uint16_t next) {
    ctx.state.wMainView = MainView::SeriesGraph;
    ctx.host.sendCommand(next);
}

}  // namespace

CommandHandler::CommandHandler(AppState& state, const WindowLayout& layout, CommandHost& host,
                               MessageSink& sink, const RestoringProcedures& procedures)
    : ctx_{state, layout, host, sink, procedures} {}

void CommandHandler::onCommand(uint16_t id) {
    if (replacesSeries(id) && keepsLoadedRecording(ctx_.state, ctx_.host)) return;
    switch (id) {
        case kCmdNewPulses:
            return commands::newPulses(ctx_);
        case kCmdCreateSeries:
            return commands::createSeries(ctx_);
        case kCmdSelectPulses:
            ctx_.state.nDisplayMode = DisplayMode::SubsetPanel;
            return ctx_.repaintGraphArea(true);
        case kCmdExit:
        case kCmdClose:
            return ctx_.host.close();
        case kCmdSameData:
            ctx_.state.wMainView = MainView::SeriesGraph;
            return ctx_.host.sendCommand(kCmdProcess);
        case kCmdNextData:
            ctx_.state.wMainView = MainView::SeriesGraph;
            return ctx_.host.sendCommand(kCmdNextSeries);
        case kCmdMoreDetails:
            return ctx_.host.sendCommand(kCmdProcess);
        case kCmdTypeMoreDetails:
            ctx_.state.bNoErase = 1;
            return ctx_.host.sendCommand(kCmdResultsRepaint);
        case kCmdFixedCase:
            ctx_.state.wSeriesType = SeriesCode::FixedWhole;
            return rerun(ctx_, kCmdNextSeries);
        case kCmdUnfixedCase:
            ctx_.state.wSeriesType = SeriesCode::UnfixedWhole;
            return rerun(ctx_, kCmdNextSeries);
        case kCmdRepeatDetection:
            ctx_.state.wTaskType = TaskCode::Detection;
            return rerun(ctx_, kCmdNextSeries);
        case kCmdRepeatRecognition:
            ctx_.state.wTaskType = TaskCode::Recognition;
            return rerun(ctx_, kCmdNextSeries);
        case kCmdRepeatJoint:
            ctx_.state.wTaskType = TaskCode::Joint;
            return rerun(ctx_, kCmdNextSeries);
        case kCmdRepeatSeriesProcessing:
            ctx_.state.wTaskType = TaskCode::SeriesProcessing;
            return rerun(ctx_, kCmdNextSeries);
        case kCmdDebuggingRepeat:
            ctx_.state.bDebuggingRepeat = 1;
            return rerun(ctx_, kCmdProcess);
        case kCmdDetection:
        case kCmdRecognition:
        case kCmdJointDetection:
        case kCmdSeriesProcessing:
            return commands::chooseTask(ctx_, id);
        case kCmdFixedWhole:
        case kCmdUnfixedWhole:
        case kCmdFixedCutoff:
        case kCmdUnfixedCutoff:
        case kCmdFixedTuples:
        case kCmdUnfixedTuples:
            return commands::chooseSeriesType(ctx_, id);
        case kCmdNextSeries:
            return commands::nextSeries(ctx_);
        case kCmdRepaintAll:
            return ctx_.host.invalidate(nullptr, true);
        case kCmdNewGeometry:
            return commands::newGeometry(ctx_);
        case kCmdAddNoise:
            return commands::addNoise(ctx_);
        case kCmdProcess:
            return commands::process(ctx_);
        case kCmdSelectorPick:
            return commands::selectorPick(ctx_);
        case kCmdEtalonHighlight:
            return commands::etalonHighlight(ctx_);
        case kCmdGridRepaint:
            return commands::gridRepaint(ctx_);
        case kCmdSeriesParameters:
            return commands::seriesParameters(ctx_);
        case kCmdStatSimulation:
            return commands::statisticalSimulation(ctx_);
        case kCmdLocationParameters:
            commands::locationParameters(ctx_);
            return;
        case kCmdShowStatSimulation:
            return commands::showStatisticalSimulation(ctx_);
        case kCmdExportSimulationTable:
            return commands::exportSimulationTable(ctx_);
        case kCmdViewSeriesParameters:
            return commands::viewSeriesParameters(ctx_);
        case kCmdSubsetSettings:
            return commands::subsetSettings(ctx_);
        case kCmdDrawingSettings:
            return commands::drawingSettings(ctx_);
        case kCmdSaveImage:
            MakeSnapshot(ctx_.host, ctx_.sink);
            return;
        case kCmdMakeSeries:
            return commands::makeSeries(ctx_);
        case kCmdOpenSeries:
            return commands::openSeries(ctx_);
        case kCmdSaveSeries:
            return commands::saveSeries(ctx_);
        case kCmdExportResults:
            return commands::exportResults(ctx_);
        case kCmdCompareMatchedFilter:
            return commands::compareMatchedFilter(ctx_);
        case kCmdShowMatchedFilterPulses:
            return commands::showMatchedFilterPulses(ctx_);
        case kCmdOpenEtalons:
            return commands::openEtalons(ctx_);
        case kCmdSaveEtalons:
            return commands::saveEtalons(ctx_);
        case kCmdEtalonFromSeries:
            return commands::etalonFromSeries(ctx_);
        case kCmdResultsRepaint:
            return commands::resultsRepaint(ctx_);
        case kCmdSelectionRepaint:
            return ctx_.invalidate(ctx_.state.subsetPanel.selectionAreaRect, true);
        case kCmdGraphRepaint:
            return ctx_.repaintGraphArea(true);
        case kCmdGraphOverlay:
            return ctx_.repaintGraphArea(false);
        case kCmdReservedRowsRepaint:
            return commands::reservedRowsRepaint(ctx_);
        default:
            return;  // kCmdNothing, 217, 219, 220 and kCmdElseCreateSeries do nothing
    }
}

}  // namespace etalon
