// Smallest and largest sample of any span of a long recording, fast enough
// to draw millions of samples per column: min/max per block of kEnvelopeBlock
// samples, then levels of blocks twice as long.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace etalon {

// 32 samples a block keeps every level together under an eighth of the samples' bytes.
inline constexpr std::size_t kEnvelopeBlock = 32;

struct SampleRange {
    int16_t low = 0;
    int16_t high = 0;
    bool operator==(const SampleRange&) const = default;
};

class EnvelopePyramid {
  public:
    EnvelopePyramid() = default;
    // Reads the samples once; they must outlive every query.
    explicit EnvelopePyramid(std::span<const int16_t> samples);

    // Smallest and largest of samples [first, last); last > first and within the samples.
    SampleRange range(std::size_t first, std::size_t last) const;
    std::size_t bytes() const;
    std::size_t levels() const { return levels_.size(); }

  private:
    std::span<const int16_t> samples_;
    std::vector<std::vector<SampleRange>> levels_;  // level l: blocks of kEnvelopeBlock << l
};

}  // namespace etalon
