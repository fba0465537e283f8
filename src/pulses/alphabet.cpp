#include "pulses/alphabet.h"

#include <algorithm>

#include "base/allocation.h"
#include "pulses/pulse_shapes.h"
#include "pulses/random_streams.h"

namespace etalon {

namespace {

// The rectangle level does not follow the amplitude.
constexpr int kRectangleLevel = 60;

bool prepareBuffers(MessageSink& sink, uint16_t count, uint16_t length,
                    std::span<PulseHeader> table) {
    for (uint16_t i = 0; i < count; ++i) {
        PulseHeader& entry = table[i];
        if (entry.hasData() && entry.wReservedSize < length) {
            if (i == 0)
                sink.show("Предварительное освобождение памяти!", "Отладка", MessageIcon::Warning);
            entry.lpData.clear();
            entry.lpData.shrink_to_fit();
            entry.wReservedSize = 0;
        }
        if (!entry.hasData()) {
            if (length == 0 || !allocateBuffer(entry.lpData, length)) {
                sink.show("Не могу выделить память!", "", MessageIcon::Warning);
                freeAlphabet(table, i);
                return false;
            }
            entry.wReservedSize = length;
        }
        entry.wSize = length;
        entry.wNumber = static_cast<uint16_t>(i + 1);
    }
    return true;
}

void makeShape(int index, int amplitude, std::span<PulseHeader> table, int16_t& alphabetNoise) {
    PulseHeader& entry = table[index];
    std::span<int16_t> out(entry.lpData.data(), entry.wSize);
    const int n = entry.wSize;
    const int riseLength = (2 * n + 4) / 8;
    if (index >= 10) {
        for (auto& sample : out) {
            const int32_t value = getGaussRandom(alphabetNoise, 0, amplitude / 2);
            sample = static_cast<int16_t>(std::clamp(value, -amplitude, amplitude - 1));
        }
        return;
    }
    switch (index) {
        case 0:
            std::fill(out.begin(), out.end(), static_cast<int16_t>(kRectangleLevel));
            break;
        case 2:
            makeHalfSine((2 * amplitude) / 3 - 1, out);
            break;
        case 4:
            makeSinePeriod((kRectangleLevel * 1414) / 1000, out);
            break;
        case 6:
            makeModulatedSine((6 * amplitude) / 5 + 2, riseLength, 4, out);
            break;
        case 8:
            makeExpPulse((7 * amplitude + 4) / 8 + 6, riseLength - 1, 4, out);
            break;
        default: {  // odd entries: the previous etalon negated
            const PulseHeader& previous = table[index - 1];
            makeNegativePulse(std::span<const int16_t>(previous.lpData.data(), previous.wSize),
                              out);
            break;
        }
    }
}

}  // namespace

int makeAlphabet(MessageSink& sink, int amplitude, uint16_t count, uint16_t length,
                 std::span<PulseHeader> table, int16_t& alphabetNoise) {
    count = static_cast<uint16_t>(std::min<std::size_t>(count, table.size()));
    if (!prepareBuffers(sink, count, length, table)) return 0;
    for (int j = 0; j < count; ++j)
        makeShape(j, amplitude, table, alphabetNoise);
    return 1;
}

void freeAlphabet(std::span<PulseHeader> table, uint16_t count) {
    for (std::size_t i = 0; i < count && i < table.size(); ++i) {
        table[i].lpData.clear();
        table[i].lpData.shrink_to_fit();
        table[i].wReservedSize = 0;
    }
}

int32_t pulseEnergy(const PulseHeader& pulse) {
    int32_t energy = 0;
    for (int16_t sample : pulse.samples())
        energy += sample * sample;
    return energy;
}

}  // namespace etalon
