#include "graphs/series_graph_text.h"

#include <gtest/gtest.h>

#include "graphs/series_graph_fixture.h"

namespace etalon {
namespace {

using test::GraphFixture;

TEST(SeriesGraphText, HalfRangeOfThePanels) {
    EXPECT_EQ(seriesHalfRange(128, 20).range, 144);  // 128 + 16
    EXPECT_EQ(seriesHalfRange(128, 50).range, 149);  // 133 + 16
    EXPECT_EQ(seriesHalfRange(128, 50).amplitude, 128);
    // A series without amplitude is shown as 128, doubled until it reaches the noise.
    EXPECT_EQ(seriesHalfRange(0, 20).amplitude, 128);
    EXPECT_EQ(seriesHalfRange(0, 300).amplitude, 512);
    EXPECT_EQ(seriesHalfRange(0, 300).range, 900);          // 800 + 100
    EXPECT_EQ(seriesHalfRange(0, 32767).amplitude, 16384);  // stops before 16 bits wrap
}

TEST(SeriesGraphText, HeaderListsNineteenTruePulsesThenDots) {
    GraphFixture f(1200);
    for (int k = 0; k < 25; ++k)
        f.addTrue(static_cast<int16_t>(10 + 45 * k), 3);
    f.series.wMinPulses = 6;
    f.series.wMaxPulses = 30;
    // No run recorded and no etalons restored: no task line and no letters.
    bool letters = etalonLettersShown(f.chains.get(), f.series);
    EXPECT_FALSE(letters);
    auto lines = seriesHeaderLines(f.chains.get(), f.series, 128, letters);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].rfind(" series length 1200, Tmin=40, Tmax=181,  amplitude 128, noise level "
                             "20, allN/S 0,  N/S 0",
                             0),
              0u)
        << lines[0];
    EXPECT_EQ(lines[1], " pulses number 25 [6-30], length 20");
    std::string expected = " pulses:";
    for (int k = 0; k < 19; ++k)
        expected.append(" ").append(std::to_string(10 + 45 * k));
    EXPECT_EQ(lines[2], expected + "...");

    // A recorded recognition run on a cut-off series: task line, letters, kept parts, levels.
    f.series.lpCutStarts[0] = 2;
    f.series.lpCutEnds[0] = 15;
    f.addRestored(10, 3);
    f.recordRun(2, 2);
    f.chains->wMakingLevel = 75;
    f.chains->wProcessingLevel = 50;
    letters = etalonLettersShown(f.chains.get(), f.series);
    EXPECT_TRUE(letters);
    lines = seriesHeaderLines(f.chains.get(), f.series, 128, letters);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], " recognition for series with known number of cut-off pulses ");
    EXPECT_EQ(lines[2],
              " pulses number 25 [6-30], length 20, saved energy level for "
              "making/processing 75/50");
    EXPECT_EQ(lines[3].substr(0, 30), " pulses: 10c[2..15]  55c[0..19");

    // Plain detection shows no letters; series processing has no task text of its own.
    f.recordRun(1, 1);
    EXPECT_FALSE(etalonLettersShown(f.chains.get(), f.series));
    f.recordRun(1, 64);
    EXPECT_EQ(seriesHeaderLines(f.chains.get(), f.series, 128, true)[0],
              " task 64 for series with known number of whole pulses ");
}

TEST(SeriesGraphText, RestoredPulsesLine) {
    GraphFixture f;
    for (int16_t p : {117, 311, 480})
        f.addTrue(p, 3);
    f.addRestored(117, 3);
    f.recordRun(1, 2);
    EXPECT_EQ(restoredPulsesLine(f.chains.get(), f.series, true), "Detected 1 (3) pulse:  117c");
    f.addRestored(311, 1);
    f.addRestored(480, 3);
    EXPECT_EQ(restoredPulsesLine(f.chains.get(), f.series, false),
              "Detected 3 pulses:  117 311 480");

    // Cut-off series show the kept parts.
    f.recordRun(8, 4);
    f.series.lpRestoredCutStarts[1] = 4;
    EXPECT_EQ(restoredPulsesLine(f.chains.get(), f.series, true),
              "Detected 3 pulses:  117c[0..19] 311a[4..19] 480c[0..19]");

    // Twelve restored pulses list nine, then a blank, three dots and a blank.
    for (int16_t k = 0; k < 9; ++k)
        f.addRestored(static_cast<int16_t>(500 + k), 2);
    f.recordRun(1, 1);
    const std::string line = restoredPulsesLine(f.chains.get(), f.series, false);
    EXPECT_EQ(line, "Detected 12 (3) pulses:  117 311 480 500 501 502 503 504 505 ... ");

    // A tuple result lists the tuples in braces.
    GraphFixture t;
    t.addTrue(117, 3);
    t.addTrue(311, 1);
    t.addRestored(117, 3);
    t.addRestored(311, 1);
    t.addRestored(450, 2);
    t.series.wRestoredTuples = 2;
    t.series.lpRestoredTupleFirst = {1, 3};
    t.series.lpRestoredTupleSecond = {2, 3};
    t.recordRun(36, 36);
    EXPECT_EQ(restoredPulsesLine(t.chains.get(), t.series, true),
              "Detected 3 (2) pulses:  {117c 311a}  {450b} ");
}

TEST(SeriesGraphText, ChainTableRanksTheChainsAboveTheTrueRow) {
    GraphFixture f;
    f.addTrue(117, 3);
    f.addTrue(311, 1);
    f.addRestored(117, 3);
    f.addRestored(311, 1);
    f.recordRun(1, 2, -9000);
    for (int k = 0; k < 7; ++k)
        f.addChain(-100 * k, {5, 5}, {static_cast<int16_t>(100 + k), 300});
    const ChainTableText t = chainTableText(f.chains.get(), f.series, true, -8000);
    ASSERT_TRUE(t.hasTable);
    EXPECT_EQ(t.heading.first, " n et  measure ");
    EXPECT_EQ(t.heading.second, "  positions of etalons in series");
    ASSERT_EQ(t.rows.size(), 6u);  // eight chains held, six shown
    EXPECT_EQ(t.rows[0].first, " 1.  c     -9000");
    EXPECT_EQ(t.rows[0].second, "  117  311");
    EXPECT_EQ(t.rows[1].first, " 2.  e      -600");
    EXPECT_EQ(t.rows[1].second, "  106  300");
    EXPECT_EQ(t.trueRow.first, " 0.  c     -8000");
    EXPECT_EQ(t.trueRow.second, "  117  311");

    // Joint detection and identification names every etalon; cut-off series add kept parts.
    f.recordRun(2, 4, -9000);
    const ChainTableText j = chainTableText(f.chains.get(), f.series, true, -8000);
    EXPECT_EQ(j.heading.first, " n  measure ");
    EXPECT_EQ(j.heading.second, "  positions and names of etalons in series");
    ASSERT_EQ(j.rows.size(), 1u);
    EXPECT_EQ(j.rows[0].second, "  117c [0..19]   311a [0..19] ");
    EXPECT_EQ(j.trueRow.first, " 0.     -8000");  // "%2d. ", "  %7d"
    EXPECT_EQ(j.trueRow.second, "  117c [0..19]   311a [0..19] ");

    // Without a results record only the true row is there.
    const ChainTableText none = chainTableText(nullptr, f.series, false, 7);
    EXPECT_FALSE(none.hasTable);
    EXPECT_TRUE(none.rows.empty());
    EXPECT_EQ(none.trueRow.first, " 0.         7");
}

// A loaded recording has no true pulses: every place that would show them,
// or compare with them, says so instead.
TEST(SeriesGraphText, WithoutATruthTheViewSaysTruthUnknown) {
    GraphFixture f(300);
    f.series.wMinPulses = 1;
    f.series.wMaxPulses = 7;
    f.addRestored(60, 3);
    f.addRestored(200, 1);
    f.recordRun(4, 2);
    const auto lines = seriesHeaderLines(f.chains.get(), f.series, 128, true, false);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[1], " series length 300, Tmin=40, Tmax=181,  amplitude 128, N/S truth unknown");
    EXPECT_EQ(lines[2], " pulses number unknown [1-7], length 20");
    EXPECT_EQ(lines[3], " pulses: truth unknown");
    // The restored count is not compared with a true one.
    EXPECT_EQ(restoredPulsesLine(f.chains.get(), f.series, true, false),
              "Detected 2 pulses:  60c 200a");
    EXPECT_EQ(unknownRestoreErrorLine(), "Restore Error: truth unknown. ");
    const ChainTableText t = chainTableText(f.chains.get(), f.series, true, 0, false);
    EXPECT_EQ(t.rows.size(), 1u);
    EXPECT_EQ(t.trueRow.first, " 0. ");
    EXPECT_EQ(t.trueRow.second, "  truth unknown");
    // A known count is the one given.
    f.series.wImpulseQuantity = 2;
    EXPECT_EQ(seriesHeaderLines(f.chains.get(), f.series, 128, true, false)[2],
              " pulses number 2 [1-7], length 20");
}

}  // namespace
}  // namespace etalon
