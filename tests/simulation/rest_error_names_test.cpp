#include "simulation/rest_error_names.h"

#include <gtest/gtest.h>

#include <string>

#include "processing/chains_header.h"
#include "simulation/rest_error_header.h"

namespace etalon {
namespace {

// The texts each record keeps of the run it describes, as its reports show
// them; the two records name some codes differently, and a mix-up would show
// in every report.
struct Names {
    std::string errorsTask, errorsSeries, chainsTask, chainsSeries;
};

std::string text(const char* name) {
    return name ? name : "(none)";
}

Names namesOf(uint16_t seriesType, uint16_t task) {
    SilentSink sink;
    auto errors = getRestErrHeader(sink, 1, 1, 1, nullptr);
    auto chains = getChainsHeader(sink, 1, 1, nullptr);
    EXPECT_TRUE(errors && chains);
    if (!errors || !chains) return {};
    EXPECT_EQ(
        addInitRestErrHeader(sink, SeriesCode{seriesType}, TaskCode{task}, 100, 100, errors.get()),
        1);
    EXPECT_EQ(
        addToChainsHeader(sink, SeriesCode{seriesType}, TaskCode{task}, 100, 100, chains.get()), 1);
    EXPECT_NE(restErrHeaderDump(*errors).find(text(errors->lpTaskName)), std::string::npos);
    return {text(errors->lpTaskName), text(errors->lpSeriesTypeName), text(chains->lpTaskName),
            text(chains->lpSeriesTypeName)};
}

TEST(ReportTexts, EachRecordNamesTheRunItsWay) {
    // Codes only the simulation's record names, and one it names its own way.
    const Names estimation = namesOf(1, 8);
    EXPECT_EQ(estimation.errorsTask, "joint detection and estimation");
    EXPECT_EQ(estimation.chainsTask, "(none)");
    const Names blind = namesOf(1, 32);
    EXPECT_EQ(blind.errorsTask, "blind detection");
    EXPECT_EQ(blind.chainsTask, "detection");

    // The tasks the menu offers read the same in both, and so do the series types.
    for (const auto& [task, type] :
         {std::pair<uint16_t, uint16_t>{1, 2}, {2, 8}, {4, 4}, {36, 36}, {40, 40}}) {
        SCOPED_TRACE("task " + std::to_string(task) + ", series type " + std::to_string(type));
        const Names n = namesOf(type, task);
        EXPECT_NE(n.errorsTask, "(none)");
        EXPECT_EQ(n.errorsTask, n.chainsTask);
        EXPECT_EQ(n.errorsSeries, n.chainsSeries);
    }
}

}  // namespace
}  // namespace etalon
