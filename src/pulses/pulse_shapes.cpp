#include "pulses/pulse_shapes.h"

#include <cmath>

namespace etalon {

namespace {

// The constants exactly as the shapes were defined, not full-precision pi.
constexpr double kPi = 3.141592654;
constexpr double kTwoPi = 6.283185308;

int16_t truncated(double value) {
    return static_cast<int16_t>(static_cast<int32_t>(value));
}

// Rising edge 1 - exp(-8 i / d) up to the rise length, then decay exp(-4 (i - d) / (n - d)).
double envelope(int i, int riseLength, int length) {
    if (i < riseLength) return 1.0 - std::exp(i * (-8.0 / riseLength));
    return std::exp(-(4.0 / (length - riseLength)) * (i - riseLength));
}

}  // namespace

void makeHalfSine(int amplitude, std::span<int16_t> out) {
    const int n = static_cast<int>(out.size());
    const double step = kPi / (n + 1);
    double phase = 0.0;
    for (int i = 0; i < n; ++i) {
        phase += step;
        out[i] = truncated(amplitude * std::sin(phase));
    }
}

void makeSinePeriod(int amplitude, std::span<int16_t> out) {
    const int n = static_cast<int>(out.size());
    const double step = kTwoPi / (n + 1);
    double phase = 0.0;
    for (int i = 0; i < n; ++i) {
        phase += step;
        out[i] = truncated(amplitude * std::sin(phase));
    }
}

void makeModulatedSine(int amplitude, int riseLength, int periods, std::span<int16_t> out) {
    const int n = static_cast<int>(out.size());
    const double step = periods * kTwoPi / n;
    double phase = 0.0;
    for (int i = 0; i < n; ++i) {
        out[i] = truncated(std::sin(phase) * (amplitude * envelope(i, riseLength, n)));
        phase += step;
    }
}

void makeExpPulse(int amplitude, int riseLength, int /*periods*/, std::span<int16_t> out) {
    const int n = static_cast<int>(out.size());
    for (int i = 0; i < n; ++i)
        out[i] = truncated(amplitude * envelope(i, riseLength, n));
}

void resamplePulse(std::span<const int16_t> source, std::span<int16_t> target) {
    if (source.empty() || target.empty()) return;
    const int m = static_cast<int>(source.size()) - 1;
    const int n = static_cast<int>(target.size()) - 1;
    if (n == 0) {
        target[0] = source[m];
        return;
    }
    if (target.size() < source.size()) {
        target[0] = source[0];
        int fraction = 0;
        int j = 0;
        for (int i = 1; i < n; ++i) {
            fraction += m;
            while (fraction >= n) {
                fraction -= n;
                ++j;
            }
            target[i] =
                static_cast<int16_t>(source[j] + (source[j + 1] - source[j]) * fraction / n);
        }
    } else {
        int previous = source[0];
        int k = 1;
        int fraction = 0;
        for (int i = 0; i < n; ++i) {
            const int next = k <= m ? source[k] : source[m];
            target[i] = static_cast<int16_t>(previous + (next - previous) * fraction / n);
            fraction += m;
            if (fraction >= n) {
                fraction -= n;
                previous = next;
                ++k;
            }
        }
    }
    target[n] = source[m];
}

void makeNegativePulse(std::span<const int16_t> source, std::span<int16_t> target) {
    resamplePulse(source, target);
    for (auto& sample : target)
        sample = static_cast<int16_t>(-sample);
}

}  // namespace etalon
