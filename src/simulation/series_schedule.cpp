#include "simulation/series_schedule.h"

#include <algorithm>

#include "processing/task_codes.h"

namespace etalon {

SeriesSchedule::SeriesSchedule(const ScheduleSettings& settings)
    : settings_(settings),
      counters_(settings.sequenceLength, 1),
      sequence_(settings.sequenceLength, 1) {}

const ScheduledSeries* SeriesSchedule::next() {
    const std::size_t columns = settings_.pulseCounts.size();
    const std::size_t rows = settings_.noiseLevels.size();
    // A grid without noise levels has no points to make series for.
    if (rows == 0) return nullptr;
    while (p_ < columns) {
        if (!cellStarted_) {
            startCell();
            cellStarted_ = true;
            r_ = 0;
        }
        if (r_ < settings_.repeats) {
            // The changes of a cell's start belong to its first series.
            if (r_ > 0) changes_.clear();
            advanceEtalons();
            current_.index = made_++;
            current_.pulseIndex = p_;
            current_.levelIndex = v_;
            current_.repeat = r_++;
            current_.cell = std::size_t{v_} * columns + p_;
            current_.pulses = static_cast<int16_t>(count());
            current_.noiseLevel = settings_.noiseLevels[v_];
            current_.sequence = sequence_;
            current_.subset = subset_;
            current_.subsetChanges = changes_;
            return &current_;
        }
        cellStarted_ = false;
        if (++v_ >= rows) {
            v_ = 0;
            ++p_;
        }
    }
    return nullptr;
}

void SeriesSchedule::startCell() {
    const int32_t c = count();
    const int32_t repeats = settings_.repeats;
    const int32_t n = static_cast<int32_t>(settings_.list.size());
    changes_.clear();
    switch (settings_.effectiveTask) {
        case TaskCode::Detection:
            changes_.push_back(0);
            break;
        case TaskCode::Recognition:
            step_ = (n + 2 * repeats) / (2 * n);
            changes_.push_back(0);
            break;
        case TaskCode::TuplesDetection:
            step_ = repeats;
            break;
        case TaskCode::TuplesRecognition: {
            const int32_t stored = settings_.storedSubsets;
            subset_ = 1;
            step_ = (stored + 2 * repeats) / (2 * stored);
            changes_.push_back(subset_);
            break;
        }
        default:
            // A count outside 0..31 would make the shift undefined; the
            // grid never holds one the generator accepts.
            step_ = c > 0 ? (repeats * c) >> (c % 32) : 0;
            break;
    }
    switchAt_ = step_;
    for (int32_t i = 0; i < c && i < static_cast<int32_t>(sequence_.size()); ++i) {
        counters_[i] = 1;
        sequence_[i] = settings_.list[0];
    }
}

int32_t SeriesSchedule::steppedPulses() const {
    return std::min<int32_t>(count(), static_cast<int32_t>(sequence_.size()));
}

void SeriesSchedule::advanceEtalons() {
    const int32_t r = r_;
    const int32_t c = steppedPulses();
    const uint16_t n = static_cast<uint16_t>(settings_.list.size());
    switch (settings_.effectiveTask) {
        case TaskCode::Recognition:
            if (r < switchAt_) return;
            for (int32_t i = 0; i < c; ++i) {
                if (++counters_[i] > n) counters_[i] = 1;
                sequence_[i] = listed(counters_[i]);
            }
            switchAt_ += step_;
            break;
        case TaskCode::Joint:
            if (r * count() < switchAt_) return;
            switchAt_ += step_;
            stepOdometer();
            for (int32_t i = 0; i < c; ++i)
                sequence_[i] = listed(counters_[i]);
            break;
        case TaskCode::TuplesRecognition:
            if (r < switchAt_) return;
            if (++subset_ > settings_.storedSubsets) subset_ = 1;
            changes_.push_back(subset_);
            switchAt_ += step_;
            break;
        default:
            break;
    }
}

// The carry stops at the last counter, which wraps like the others.
void SeriesSchedule::stepOdometer() {
    const std::size_t n = settings_.list.size();
    if (counters_.empty()) return;
    ++counters_[0];
    for (std::size_t i = 0; i < counters_.size() && counters_[i] > n; ++i) {
        counters_[i] = 1;
        if (i + 1 < counters_.size()) ++counters_[i + 1];
    }
}

}  // namespace etalon
