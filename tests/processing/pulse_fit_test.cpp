// The fit tables (whole pulses from overlapping sample pairs, windows kept as
// values with the window found again on demand) and the fits of eight etalons
// side by side, against the fit of one etalon at one position. Pulse lengths
// odd and even, etalons shorter than the pulse, every position of a series.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "processing/pulse_fit.h"

namespace etalon::test {
namespace {

std::vector<int16_t> randomSamples(std::mt19937& rng, std::size_t n, int amplitude) {
    std::uniform_int_distribution<int> value(-amplitude, amplitude);
    std::vector<int16_t> samples(n);
    for (auto& s : samples)
        s = static_cast<int16_t>(value(rng));
    return samples;
}

// Amplitude 500 keeps level * energy within 32 bits, so level 100 keeps no
// window; amplitude 1 makes many windows tie.
std::vector<PulseHeader> randomAlphabet(std::mt19937& rng, std::initializer_list<int> lengths,
                                        int amplitude = 500) {
    std::vector<PulseHeader> alphabet;
    for (const int length : lengths) {
        PulseHeader pulse;
        pulse.lpData = randomSamples(rng, length, amplitude);
        pulse.wSize = pulse.wReservedSize = static_cast<uint16_t>(length);
        pulse.wNumber = static_cast<uint16_t>(alphabet.size() + 1);
        alphabet.push_back(pulse);
    }
    return alphabet;
}

TEST(PulseFit, TablesGiveTheFitOfEveryPosition) {
    std::mt19937 rng(7);
    for (const auto& [length, amplitude] :
         {std::pair{7, 3000}, std::pair{20, 3000}, std::pair{21, 3000}, std::pair{20, 1}}) {
        // The last etalon is shorter than the pulse.
        const auto alphabet =
            randomAlphabet(rng, {length, length, length - 3}, std::min(amplitude, 500));
        const auto series = randomSamples(rng, 300, amplitude);
        const int32_t last = static_cast<int32_t>(series.size()) - length;
        for (const uint16_t level : {uint16_t{100}, uint16_t{75}, uint16_t{30}}) {
            FitCache cache;
            cache.reserve(alphabet.size(), last + 1, length);
            cache.begin(series, alphabet, static_cast<uint16_t>(length), level, 0, last);
            for (int32_t index = 0; index < static_cast<int32_t>(alphabet.size()); ++index) {
                const FitTable& table = cache.fits(index);
                EtalonEnergy energy;
                computeEtalonEnergy(cache.samples(index), level, energy);
                for (int32_t x = 0; x <= last; ++x) {
                    const PulseFit expected = fitPulse(series, cache.samples(index), energy, x);
                    const PulseFit fit = table.at(x);
                    ASSERT_EQ(table.values()[x], expected.value)
                        << "L " << length << " level " << level << " etalon " << index << " x "
                        << x;
                    ASSERT_EQ(fit.value, expected.value);
                    ASSERT_EQ(fit.begin, expected.begin) << "L " << length << " x " << x;
                    ASSERT_EQ(fit.end, expected.end) << "L " << length << " x " << x;
                }
            }
        }
    }
}

TEST(PulseFit, EightEtalonsSideBySideFitAsEachAlone) {
    std::mt19937 rng(11);
    for (const int length : {7, 20, 21}) {
        // Five lanes of eight in use, one etalon shorter than the others.
        const auto alphabet = randomAlphabet(rng, {length, length - 2, length, length, length});
        const auto series = randomSamples(rng, 200, 3000);
        const int32_t first = 3, count = static_cast<int32_t>(series.size()) - length - first + 1;
        std::vector<std::span<const int16_t>> etalons;
        std::vector<int32_t> totals;
        std::vector<EtalonEnergy> energies(alphabet.size());
        for (std::size_t i = 0; i < alphabet.size(); ++i) {
            etalons.push_back(alphabet[i].samples());
            computeEtalonEnergy(etalons[i], 100, energies[i]);
            totals.push_back(energies[i].total);
        }
        std::vector<int32_t> scratch(8 * (length + 1)), out(8 * count, -1);
        fitWholeLanes(series, first, count, etalons, totals, scratch.data(), out.data());
        for (int32_t p = 0; p < count; ++p) {
            for (std::size_t lane = 0; lane < 8; ++lane) {
                const int32_t expected =
                    lane < etalons.size()
                        ? fitPulse(series, etalons[lane], energies[lane], first + p).value
                        : 0;
                ASSERT_EQ(out[p * 8 + lane], expected) << "L " << length << " lane " << lane;
            }
        }
    }
}

}  // namespace
}  // namespace etalon::test
