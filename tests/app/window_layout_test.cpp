#include "app/window_layout.h"

#include <gtest/gtest.h>

#include "app/app_state.h"

namespace etalon {
namespace {

const platform::TextMetrics kMetrics{13, 0, 6, 16};  // line height 12

TEST(WindowLayout, GridOfTwentyEtalonsInA1024By700ClientArea) {
    WindowLayout layout;
    computeLayout(layout, {0, 0, 1024, 700}, kMetrics, TaskCode::Recognition, 20);
    EXPECT_EQ(gridRows(20), 4);
    EXPECT_EQ(layout.nLineHeight, 12);
    EXPECT_EQ(layout.wCellWidth, 158);   // (851 - 60) div 5
    EXPECT_EQ(layout.wCellHeight, 157);  // (681 - 50) div 4
    EXPECT_EQ(layout.wCellInnerWidth, 148);
    EXPECT_EQ(layout.wCellInnerHeight, 147);
    EXPECT_EQ(layout.rcGraph, (Rect{10, 10, 859, 687}));
    EXPECT_EQ(layout.rcCells[0], (Rect{20, 20, 177, 176}));
    EXPECT_EQ(layout.rcCells[4], (Rect{692, 20, 849, 176}));
    EXPECT_EQ(layout.rcCells[5], (Rect{20, 187, 177, 343}));
    EXPECT_EQ(layout.rcCells[19], (Rect{692, 521, 849, 677}));

    EXPECT_EQ(layout.rcLengthSelector, (Rect{869, 10, 1014, 82}));
    EXPECT_EQ(layout.rcNoiseSelector, (Rect{869, 94, 1014, 166}));
    EXPECT_EQ(layout.rcLostSelector, (Rect{869, 178, 1014, 250}));
}

TEST(WindowLayout, ButtonColumnWithAndWithoutTheToggle) {
    WindowLayout layout;
    computeLayout(layout, {0, 0, 1024, 700}, kMetrics, TaskCode::Recognition, 20);
    EXPECT_EQ(layout.rcExitButton, (Rect{870, 658, 1013, 689}));
    EXPECT_EQ(layout.rcStartButton1, (Rect{870, 616, 1013, 647}));
    EXPECT_EQ(layout.rcToggleButton, (Rect{870, 574, 1013, 605}));
    EXPECT_EQ(layout.rcStartButton, (Rect{870, 532, 1013, 563}));
    EXPECT_EQ(layout.rcButtonColumn, (Rect{870, 490, 1013, 605}));

    for (TaskCode task :
         {TaskCode::Detection, TaskCode::TuplesDetection, TaskCode::TuplesRecognition}) {
        WindowLayout detection;
        computeLayout(detection, {0, 0, 1024, 700}, kMetrics, task, 20);
        EXPECT_EQ(detection.rcToggleButton, Rect{}) << task;  // not laid out
        EXPECT_EQ(detection.rcStartButton, (Rect{870, 574, 1013, 605})) << task;
        EXPECT_EQ(detection.rcStartButton.top, detection.rcStartButton1.top - 42);
        EXPECT_EQ(detection.rcButtonColumn, (Rect{870, 532, 1013, 605}));
    }
    EXPECT_TRUE(taskShowsToggle(TaskCode::Joint));
    EXPECT_TRUE(taskShowsToggle(TaskCode::SeriesProcessing));
}

TEST(WindowLayout, GridShapeFollowsTheNumberOfEtalons) {
    EXPECT_EQ(gridRows(1), 1);
    EXPECT_EQ(gridRows(2), 1);
    EXPECT_EQ(gridRows(3), 2);
    EXPECT_EQ(gridRows(12), 3);
    EXPECT_EQ(gridRows(13), 4);
}

}  // namespace
}  // namespace etalon
