#include "processing/pulse_fit.h"

#include <algorithm>
#include <limits>

namespace etalon {

int32_t savedEnergyThreshold(uint16_t level, int32_t total) {
    const auto product = static_cast<int32_t>(uint32_t{level} * static_cast<uint32_t>(total));
    return product / 100;
}

void computeEtalonEnergy(std::span<const int16_t> samples, uint16_t level, EtalonEnergy& out) {
    out.pe.resize(samples.size() + 1);
    out.pe[0] = 0;
    for (std::size_t j = 0; j < samples.size(); ++j) {
        out.pe[j + 1] = wrapAdd(out.pe[j], int32_t{samples[j]} * samples[j]);
    }
    out.total = out.pe[samples.size()];
    out.threshold = savedEnergyThreshold(level, out.total);
}

namespace {

// D(x, b, f) for every window at once: prefix[j] is the fit of samples 0..j-1.
void fitPrefix(std::span<const int16_t> series, std::span<const int16_t> etalon, int32_t x,
               int32_t* prefix) {
    prefix[0] = 0;
    for (std::size_t j = 0; j < etalon.size(); ++j) {
        const int32_t e = etalon[j];
        prefix[j + 1] = prefix[j] + e * (e - 2 * int32_t{series[x + j]});
    }
}

}  // namespace

PulseFit fitPulse(std::span<const int16_t> series, std::span<const int16_t> etalon,
                  const EtalonEnergy& energy, int32_t x) {
    const int32_t length = static_cast<int32_t>(etalon.size());
    std::vector<int32_t> prefix(length + 1);
    fitPrefix(series, etalon, x, prefix.data());
    PulseFit best{prefix[length], 0, 0, static_cast<int16_t>(length - 1)};
    const int32_t theta = energy.threshold;
    for (int32_t b = 0; b < length; ++b) {
        if (!(theta < energy.total - energy.pe[b])) continue;
        for (int32_t f = b; f < length; ++f) {
            if (!(theta < energy.pe[f + 1] - energy.pe[b])) continue;
            const int32_t s = prefix[f + 1] - prefix[b];
            if (s < best.value) best = {s, 0, static_cast<int16_t>(b), static_cast<int16_t>(f)};
        }
    }
    return best;
}

PulseFit fitPulseList(std::span<const int16_t> series, std::span<const PulseHeader> alphabet,
                      std::span<const uint16_t> etalons, std::span<const EtalonEnergy> energies,
                      int32_t x) {
    PulseFit best;
    for (std::size_t i = 0; i < etalons.size(); ++i) {
        const int32_t index = etalons[i] - 1;
        PulseFit fit = fitPulse(series, alphabet[index].samples(), energies[i], x);
        fit.index = index;
        if (i == 0 || fit.value < best.value) best = fit;
    }
    return best;
}

void FitTable::reserve(std::size_t count, std::size_t length) {
    value_.reserve(count);
    begin_.reserve(count);
    end_.reserve(count);
    leastEnd_.reserve(length);
    prefix_.reserve(length + 1);
    suffixMin_.reserve(length + 1);
    suffixArg_.reserve(length + 1);
}

void FitTable::compute(std::span<const int16_t> series, std::span<const int16_t> etalon,
                       const EtalonEnergy& energy, int32_t first, int32_t last) {
    first_ = first;
    last_ = last;
    const int32_t length = static_cast<int32_t>(etalon.size());
    const int32_t count = std::max(last - first + 1, 0);

    // Whole pulses: T - 2 * correlation, one pass per etalon sample so the
    // inner loop runs over positions and vectorises.
    value_.assign(count, 0);
    begin_.assign(count, 0);
    end_.assign(count, static_cast<int16_t>(length - 1));
    int32_t* value = value_.data();
    const int16_t* y = series.data() + first;
    for (int32_t j = 0; j < length; ++j) {
        const int32_t e = etalon[j];
        const int16_t* yj = y + j;
        for (int32_t i = 0; i < count; ++i) value[i] += e * yj[i];
    }
    for (int32_t i = 0; i < count; ++i) value[i] = energy.total - 2 * value[i];

    // Which windows keep enough energy depends on the etalon alone: for each
    // start b the admissible ends are leastEnd..L-1.
    leastEnd_.assign(length, -1);
    bool anyWindow = false;
    const int32_t theta = energy.threshold;
    for (int32_t b = 0; b < length; ++b) {
        if (!(theta < energy.total - energy.pe[b])) continue;
        for (int32_t f = b; f < length; ++f) {
            if (theta < energy.pe[f + 1] - energy.pe[b]) {
                leastEnd_[b] = static_cast<int16_t>(f);
                anyWindow = true;
                break;
            }
        }
    }
    if (anyWindow) fitWindows(series, etalon);
}

void FitTable::fitWindows(std::span<const int16_t> series, std::span<const int16_t> etalon) {
    const int32_t length = static_cast<int32_t>(etalon.size());
    const int32_t count = last_ - first_ + 1;
    prefix_.resize(length + 1);
    suffixMin_.resize(length + 1);
    suffixArg_.resize(length + 1);
    int32_t* prefix = prefix_.data();
    int32_t* suffixMin = suffixMin_.data();
    int16_t* suffixArg = suffixArg_.data();
    const int16_t* leastEnd = leastEnd_.data();
    for (int32_t i = 0; i < count; ++i) {
        fitPrefix(series, etalon, first_ + i, prefix);
        // Leftmost minimum of prefix[j..L]: the earliest end among equal fits.
        suffixMin[length] = prefix[length];
        suffixArg[length] = static_cast<int16_t>(length);
        for (int32_t j = length - 1; j >= 1; --j) {
            const bool take = prefix[j] <= suffixMin[j + 1];
            suffixMin[j] = take ? prefix[j] : suffixMin[j + 1];
            suffixArg[j] = take ? static_cast<int16_t>(j) : suffixArg[j + 1];
        }
        // Windows in order of start, then end; only a strictly better one
        // replaces the whole pulse or an earlier window.
        int32_t best = value_[i];
        for (int32_t b = 0; b < length; ++b) {
            const int32_t f = leastEnd[b];
            if (f < 0) continue;
            const int32_t s = suffixMin[f + 1] - prefix[b];
            if (s < best) {
                best = s;
                begin_[i] = static_cast<int16_t>(b);
                end_[i] = static_cast<int16_t>(suffixArg[f + 1] - 1);
            }
        }
        value_[i] = best;
    }
}

void FitCache::reserve(std::size_t alphabetSize, std::size_t positions, std::size_t length) {
    if (energies_.size() < alphabetSize) energies_.resize(alphabetSize);
    if (tables_.size() < alphabetSize) tables_.resize(alphabetSize);
    hasEnergy_.resize(std::max(hasEnergy_.size(), alphabetSize));
    hasFits_.resize(std::max(hasFits_.size(), alphabetSize));
    for (std::size_t i = 0; i < alphabetSize; ++i) {
        energies_[i].pe.reserve(length + 1);
        tables_[i].reserve(positions, length);
    }
}

void FitCache::begin(std::span<const int16_t> series, std::span<const PulseHeader> alphabet,
                     uint16_t length, uint16_t level, int32_t first, int32_t last) {
    series_ = series;
    length_ = length;
    alphabet_ = alphabet;
    level_ = level;
    first_ = first;
    last_ = last;
    std::fill(hasEnergy_.begin(), hasEnergy_.end(), uint8_t{0});
    std::fill(hasFits_.begin(), hasFits_.end(), uint8_t{0});
}

std::span<const int16_t> FitCache::samples(int32_t index) const {
    std::span<const int16_t> all = alphabet_[index].samples();
    return all.first(std::min<std::size_t>(all.size(), length_));
}

const EtalonEnergy& FitCache::energy(int32_t index) {
    if (!hasEnergy_[index]) {
        computeEtalonEnergy(samples(index), level_, energies_[index]);
        hasEnergy_[index] = 1;
    }
    return energies_[index];
}

const FitTable& FitCache::fits(int32_t index) {
    if (!hasFits_[index]) {
        tables_[index].compute(series_, samples(index), energy(index), first_, last_);
        hasFits_[index] = 1;
    }
    return tables_[index];
}

}  // namespace etalon
