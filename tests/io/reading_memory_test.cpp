// A recording of any length is held at 2 bytes a sample once read, whatever
// its values: fractions are read twice rather than kept as doubles.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "io/io_support.h"  // tests/io
#include "io/recording.h"
#include "support/heap_counter.h"

namespace etalon::io {
namespace {

TEST(ReadingMemory, AMillionFractionsTakeAboutTwoBytesASample) {
    constexpr std::size_t kSamples = 1'000'000;
    std::vector<double> values(kSamples);
    std::string text;
    for (std::size_t i = 0; i < kSamples; ++i) {
        values[i] = std::sin(static_cast<double>(i) * 0.01) * 0.75;
        text += std::to_string(values[i]) + '\n';
    }
    values[kSamples / 2] = -1.5;  // the largest, in the middle: the first pass must see it
    text += "junk\n";
    RecordingRequest csv;
    csv.path = test::ioTemp("fractions.csv", text);
    csv.count = kSamples;
    csv.anyLength = true;
    RecordingRequest wav;
    wav.format = RecordingFormat::Wav;
    wav.path = test::writeWav("fractions.wav", SF_FORMAT_DOUBLE, 1, 1000, values);
    wav.anyLength = true;
    for (const RecordingRequest& request : {csv, wav}) {
        SCOPED_TRACE(request.path);
        Recording out;
        test::resetHeapPeak();
        ASSERT_EQ(readRecording(request, out), "");
        // The samples' vector grows by doubling: its last move holds 3 bytes a
        // sample for a moment. Doubles would take 8, and 16 while growing.
        EXPECT_LT(test::heapPeakSinceReset(), 3 * sizeof(int16_t) * (1u << 20) + (1u << 20));
        ASSERT_EQ(out.samples.size(), kSamples);
        EXPECT_TRUE(out.scaled);
        EXPECT_DOUBLE_EQ(out.scale, 128.0 / (request.format == RecordingFormat::Wav ? 1.5 : 0.75));
        EXPECT_EQ(out.samples[100], std::nearbyint(values[100] * out.scale));
    }
}

}  // namespace
}  // namespace etalon::io
