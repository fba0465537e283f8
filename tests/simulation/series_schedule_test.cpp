// The order a simulation makes its series in and what each is made of.
#include "simulation/series_schedule.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "processing/task_codes.h"

namespace etalon {
namespace {

struct Grid {
    TaskCode task = TaskCode::Detection;
    std::vector<uint16_t> list{4, 6, 8};
    std::vector<int16_t> counts{3};
    std::vector<int16_t> levels{0};
    uint16_t repeats = 1;
    uint16_t stored = 0;
};

// What one series is made of: its etalons (the first `pulses` of the
// sequence) and its subset, with the changes before it as "s2 " etc.
struct Made {
    uint32_t index;
    std::size_t cell;
    int16_t pulses, level;
    std::string etalons, subset;
};

std::vector<Made> walk(const Grid& g) {
    ScheduleSettings settings;
    settings.effectiveTask = g.task;
    settings.list = g.list;
    settings.pulseCounts = g.counts;
    settings.noiseLevels = g.levels;
    settings.repeats = g.repeats;
    settings.storedSubsets = g.stored;
    settings.sequenceLength = 40;
    SeriesSchedule schedule(settings);
    std::vector<Made> made;
    while (const ScheduledSeries* s = schedule.next()) {
        Made m{s->index, s->cell, s->pulses, s->noiseLevel, "", ""};
        for (int16_t i = 0; i < s->pulses; ++i)
            m.etalons += std::to_string(s->sequence[i]) + " ";
        for (uint16_t change : s->subsetChanges)
            m.subset += change == 0 ? std::string("clear ") : 's' + std::to_string(change) + ' ';
        m.subset += "carries " + std::to_string(s->subset);
        made.push_back(m);
    }
    return made;
}

std::vector<std::string> etalons(const std::vector<Made>& made) {
    std::vector<std::string> e;
    for (const Made& m : made)
        e.push_back(m.etalons);
    return e;
}

std::vector<std::string> subsets(const std::vector<Made>& made) {
    std::vector<std::string> s;
    for (const Made& m : made)
        s.push_back(m.subset);
    return s;
}

TEST(SeriesSchedule, WalksPulseCountsOuterAndNoiseLevelsInnerAndStartsEachPointAfresh) {
    Grid g;
    g.task = TaskCode::Recognition;
    g.list = {4, 6};
    g.counts = {2, 5};
    g.levels = {0, 30};
    g.repeats = 3;
    const std::vector<Made> made = walk(g);
    ASSERT_EQ(made.size(), 12u);
    const std::pair<int16_t, int16_t> points[] = {{2, 0}, {2, 30}, {5, 0}, {5, 30}};
    const std::size_t cells[] = {0, 2, 1, 3};  // error rows run over the noise levels
    for (std::size_t i = 0; i < made.size(); ++i) {
        SCOPED_TRACE(i);
        const std::size_t point = i / 3;
        EXPECT_EQ(made[i].index, i);
        EXPECT_EQ(made[i].pulses, points[point].first);
        EXPECT_EQ(made[i].level, points[point].second);
        EXPECT_EQ(made[i].cell, cells[point]);
        // B = 2 for n = 2, R = 3; every point begins at the first etalon again.
        std::string expected;
        for (int16_t k = 0; k < made[i].pulses; ++k)
            expected += i % 3 == 2 ? "6 " : "4 ";
        EXPECT_EQ(made[i].etalons, expected);
    }

    Grid noLevels = g, noCounts = g, noRepeats = g;
    noLevels.levels.clear();
    noCounts.counts.clear();
    noRepeats.repeats = 0;
    for (const Grid& empty : {noLevels, noCounts, noRepeats})
        EXPECT_TRUE(walk(empty).empty());
}

TEST(SeriesSchedule, RecognitionStepsOncePerShareAndJointDetectionCountsEveryCombination) {
    Grid recognition;
    recognition.task = TaskCode::Recognition;
    recognition.repeats = 9;  // B = 3
    EXPECT_EQ(etalons(walk(recognition)),
              (std::vector<std::string>{"4 4 4 ", "4 4 4 ", "4 4 4 ", "6 6 6 ", "6 6 6 ", "6 6 6 ",
                                        "8 8 8 ", "8 8 8 ", "8 8 8 "}));
    recognition.repeats = 10;  // still B = 3: the last repeat wraps to the first etalon
    EXPECT_EQ(etalons(walk(recognition)).back(), "4 4 4 ");

    Grid joint;
    joint.task = TaskCode::Joint;
    joint.counts = {2};
    joint.repeats = 8;  // B = 4: steps where 2r reaches 4, 8, 12
    EXPECT_EQ(etalons(walk(joint)), (std::vector<std::string>{"4 4 ", "4 4 ", "6 4 ", "6 4 ",
                                                              "8 4 ", "8 4 ", "4 6 ", "4 6 "}));

    // Two etalons on three pulses over 16 repeats: every combination for two
    // repeats, the first pulse turning fastest.
    joint.list = {1, 2};
    joint.counts = {3};
    joint.repeats = 16;
    const std::vector<std::string> counted = etalons(walk(joint));
    std::map<std::string, int> seen;
    for (const std::string& e : counted)
        ++seen[e];
    EXPECT_EQ(seen.size(), 8u);
    for (const auto& [combination, times] : seen)
        EXPECT_EQ(times, 2) << combination;
    EXPECT_EQ(counted[2], "2 1 1 ");
    EXPECT_EQ(counted[4], "1 2 1 ");
    EXPECT_EQ(counted[15], "2 2 2 ");

    // Tasks that do not step keep the first listed etalon on every pulse.
    for (TaskCode task :
         {TaskCode::Detection, TaskCode::JointEstimation, TaskCode::TuplesDetection}) {
        Grid still = recognition;
        still.task = task;
        for (const std::string& e : etalons(walk(still)))
            EXPECT_EQ(e, "4 4 4 ") << task;
    }
}

TEST(SeriesSchedule, TuplesRecognitionRotatesTheStoredSubsetsAndOtherTasksClearOrKeepTheirs) {
    Grid tuples;
    tuples.task = TaskCode::TuplesRecognition;
    tuples.stored = 3;
    tuples.levels = {0, 30};
    tuples.repeats = 7;  // B = 2
    const std::vector<std::string> cell{"s1 carries 1", "carries 1", "s2 carries 2", "carries 2",
                                        "s3 carries 3", "carries 3", "s1 carries 1"};
    std::vector<std::string> expected = cell;
    expected.insert(expected.end(), cell.begin(), cell.end());  // the next point starts over
    EXPECT_EQ(subsets(walk(tuples)), expected);

    // More subsets than twice the repeats: B = 0, every repeat moves on.
    tuples.stored = 5;
    tuples.levels = {0};
    tuples.repeats = 2;
    EXPECT_EQ(subsets(walk(tuples)), (std::vector<std::string>{"s1 s2 carries 2", "s3 carries 3"}));

    // Detection and recognition make single pulses: the subset is cleared at
    // every point; the others keep the selected one.
    Grid plain;
    plain.levels = {0, 30};
    plain.repeats = 2;
    for (TaskCode task : {TaskCode::Detection, TaskCode::Recognition}) {
        plain.task = task;
        EXPECT_EQ(subsets(walk(plain)), (std::vector<std::string>{"clear carries 0", "carries 0",
                                                                  "clear carries 0", "carries 0"}));
    }
    for (TaskCode task : {TaskCode::Joint, TaskCode::TuplesDetection, TaskCode::SeriesProcessing}) {
        plain.task = task;
        for (const std::string& s : subsets(walk(plain)))
            EXPECT_EQ(s, "carries 0") << task;
    }
}

// Making a series writes its subset into the sequence; the next series of the
// point start from there, a new point from the first listed etalon.
TEST(SeriesSchedule, WhatMakingWritesIntoTheSequenceStaysUntilTheNextPoint) {
    const std::vector<uint16_t> list{4, 6, 8};
    const std::vector<int16_t> counts{3}, levels{0, 30};
    ScheduleSettings settings;
    settings.effectiveTask = TaskCode::TuplesDetection;
    settings.list = list;
    settings.pulseCounts = counts;
    settings.noiseLevels = levels;
    settings.repeats = 2;
    settings.sequenceLength = 3;
    SeriesSchedule schedule(settings);
    const auto sequence = [](const ScheduledSeries* s) {
        return std::vector<uint16_t>(s->sequence.begin(), s->sequence.end());
    };
    const ScheduledSeries* first = schedule.next();
    first->sequence[1] = 9;
    EXPECT_EQ(sequence(schedule.next()), (std::vector<uint16_t>{4, 9, 4}));
    EXPECT_EQ(sequence(schedule.next()), (std::vector<uint16_t>{4, 4, 4}));
}

}  // namespace
}  // namespace etalon
