#pragma once

#include <string>
#include <string_view>

namespace etalon::platform {

// The Latin letters of the "Symbol" font replaced by the Greek ones they
// stand for (s -> σ, e -> ε, S -> Σ, ...); other characters are kept. UTF-8.
std::string symbolToGreek(std::string_view text);

}  // namespace etalon::platform
