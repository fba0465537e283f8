#include "pulses/alphabet.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "base/allocation.h"
#include "pulses/pulse_shapes.h"
#include "support/recording_sink.h"

namespace etalon {
namespace {

using Alphabet = std::array<PulseHeader, kEtalonsNumber>;

std::vector<int16_t> samplesOf(const PulseHeader& pulse) {
    auto s = pulse.samples();
    return {s.begin(), s.end()};
}

Alphabet buildDefault(int16_t& seed, int amplitude = 128) {
    Alphabet alphabet{};
    test::RecordingSink sink;
    EXPECT_EQ(makeAlphabet(sink, amplitude, 20, 20, alphabet, seed), 1);
    EXPECT_TRUE(sink.empty());
    return alphabet;
}

TEST(Alphabet, ReferenceValues) {
    int16_t seed = 123;
    const Alphabet a = buildDefault(seed);
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(a[i].wNumber, i + 1);
        EXPECT_EQ(a[i].wSize, 20);
        EXPECT_EQ(a[i].wReservedSize, 20);
    }
    EXPECT_EQ(samplesOf(a[0]), std::vector<int16_t>(20, 60));
    EXPECT_EQ(pulseEnergy(a[0]), 72000);
    EXPECT_EQ(samplesOf(a[2]), (std::vector<int16_t>{12, 24, 36, 47, 57, 65, 72, 78, 81, 83,
                                                     83, 81, 78, 72, 65, 57, 47, 36, 24, 12}));
    const auto e5 = samplesOf(a[4]);
    EXPECT_EQ(std::vector<int16_t>(e5.begin(), e5.begin() + 6),
              (std::vector<int16_t>{24, 47, 65, 78, 83, 81}));
    EXPECT_EQ(e5[9], 12);
    EXPECT_EQ(e5[10], -12);
    const auto e7 = samplesOf(a[6]);
    EXPECT_EQ(std::vector<int16_t>(e7.begin(), e7.begin() + 6),
              (std::vector<int16_t>{0, 117, 87, -90, -147, 0}));
    const auto e9 = samplesOf(a[8]);
    EXPECT_EQ(std::vector<int16_t>(e9.begin(), e9.begin() + 6),
              (std::vector<int16_t>{0, 102, 115, 117, 118, 91}));
    EXPECT_EQ(e9.back(), 2);
    const auto e11 = samplesOf(a[10]);
    EXPECT_EQ(std::vector<int16_t>(e11.begin(), e11.begin() + 5),
              (std::vector<int16_t>{-55, 66, -105, -15, -9}));
    for (int i = 0; i < 10; ++i) {
        EXPECT_GE(pulseEnergy(a[i]), 71797) << "etalon " << i + 1;
        EXPECT_LE(pulseEnergy(a[i]), 72834) << "etalon " << i + 1;
    }
    for (int i = 10; i < 20; ++i) {
        for (int16_t v : a[i].samples()) {
            EXPECT_GE(v, -128);
            EXPECT_LE(v, 127);
        }
    }
}

TEST(Alphabet, PairsAreNegativesAndAmplitudeMovesOnlySomeShapes) {
    int16_t seedA = 123;
    int16_t seedB = 123;
    const Alphabet a = buildDefault(seedA);
    const Alphabet b = buildDefault(seedB, 100);
    for (int k = 0; k < 5; ++k) {
        auto odd = samplesOf(a[2 * k]);
        auto even = samplesOf(a[2 * k + 1]);
        for (auto& v : odd)
            v = static_cast<int16_t>(-v);
        EXPECT_EQ(odd, even) << "etalons " << 2 * k + 1 << " and " << 2 * k + 2;
    }
    // The rectangle and the sine period do not follow the amplitude.
    for (int i : {0, 1, 4, 5})
        EXPECT_EQ(samplesOf(a[i]), samplesOf(b[i])) << i + 1;
    for (int i : {2, 6, 8, 10})
        EXPECT_NE(samplesOf(a[i]), samplesOf(b[i])) << i + 1;
}

TEST(Alphabet, SecondBuildContinuesTheNoiseAndKeepsBuffers) {
    int16_t seed = 123;
    Alphabet a = buildDefault(seed);
    const Alphabet first = buildDefault(*std::make_unique<int16_t>(123));
    const int16_t* buffer = a[3].lpData.data();
    test::RecordingSink sink;
    ASSERT_EQ(makeAlphabet(sink, 128, 20, 20, a, seed), 1);
    EXPECT_EQ(a[3].lpData.data(), buffer);  // large enough: kept
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(samplesOf(a[i]), samplesOf(first[i]));
    for (int i = 10; i < 20; ++i)
        EXPECT_NE(samplesOf(a[i]), samplesOf(first[i]));

    // A too-small buffer is replaced, with the debug warning for entry 0 only.
    ASSERT_EQ(makeAlphabet(sink, 128, 20, 24, a, seed), 1);
    ASSERT_EQ(sink.messages.size(), 1u);
    EXPECT_EQ(sink.last().text, "Предварительное освобождение памяти!");
    EXPECT_EQ(sink.last().caption, "Отладка");
    EXPECT_EQ(a[0].wReservedSize, 24);
    EXPECT_EQ(a[0].wSize, 24);
}

TEST(Alphabet, FailedAllocationReleasesWhatWasBuilt) {
    Alphabet a{};
    int16_t seed = 123;
    test::RecordingSink sink;
    failAllocationAfter(4);
    EXPECT_EQ(makeAlphabet(sink, 128, 20, 20, a, seed), 0);
    failAllocationAfter(0);
    ASSERT_EQ(sink.messages.size(), 1u);
    EXPECT_EQ(sink.last().text, "Не могу выделить память!");
    EXPECT_EQ(sink.last().caption, "");
    EXPECT_EQ(sink.last().icon, MessageIcon::Warning);
    for (const auto& entry : a)
        EXPECT_FALSE(entry.hasData());
}

TEST(Alphabet, ResamplingInterpolatesBothWays) {
    const std::vector<int16_t> source{0, 10, 20, 30, 40};
    std::vector<int16_t> same(5);
    resamplePulse(source, same);
    EXPECT_EQ(same, source);

    std::vector<int16_t> longer(9);
    resamplePulse(source, longer);
    EXPECT_EQ(longer, (std::vector<int16_t>{0, 5, 10, 15, 20, 25, 30, 35, 40}));

    std::vector<int16_t> shorter(3);
    resamplePulse(source, shorter);
    EXPECT_EQ(shorter, (std::vector<int16_t>{0, 20, 40}));

    std::vector<int16_t> negative(5);
    makeNegativePulse(source, negative);
    EXPECT_EQ(negative, (std::vector<int16_t>{0, -10, -20, -30, -40}));
}

}  // namespace
}  // namespace etalon
