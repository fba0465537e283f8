#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "base/memory_budget.h"
#include "processing/restoring.h"

namespace etalon {

// What the procedure's tables take on a series of this geometry before one is
// made: the layer ranges are those the bounds allow `pulses` pulses.
std::size_t geometryMemoryNeed(RestoringProcedure procedure, const RestoringRequest& request,
                               uint32_t seriesLength, uint16_t pulses);

// A restoration's memory against a budget, with the nearest settings that fit.
struct BudgetFit {
    std::size_t need = 0;
    bool fits = true;
    std::optional<uint16_t> tmin;    // the smallest larger Tmin that fits
    std::optional<uint32_t> length;  // the largest shorter series that fits
};

// `need` is what the request needs as it stands (its series as made); the
// suggestions take the default pulse count of their geometry, as a series
// made after changing only Tmin or the length would.
BudgetFit fitRestoring(RestoringProcedure procedure, const RestoringRequest& request,
                       std::size_t need, std::size_t budget);

// "Restoring needs 6.20 GB of memory, but 1.50 GB is available (MemAvailable).
// Tmin 12 would fit, or a series of 9000 samples." — one line.
std::string budgetRefusal(const std::string& what, const BudgetFit& fit,
                          const MemoryBudget& budget);

}  // namespace etalon
