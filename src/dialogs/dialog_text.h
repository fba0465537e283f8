#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace etalon {

// Edit controls are read at most this many characters long.
inline constexpr std::size_t kEditTextLimit = 99;

// The leading integer of a text: blanks skipped, an optional sign, digits up
// to the first other character; 0 when there are none. Saturates instead of
// overflowing.
int32_t leadingInteger(std::string_view text);

// The leading floating-point number of a text (blanks skipped, optional
// sign, decimal or exponent form, always with a decimal point whatever the
// locale); 0.0 when there is none.
double leadingDouble(std::string_view text);

// A number with 5 significant digits in the shortest general form: 0.25
// shows as "0.25".
std::string generalNumber(double value);

// "3,5,7": each number followed by a comma, the final comma removed; an empty
// list gives an empty text.
std::string joinNumbers(std::span<const uint16_t> values);

// Reads numbers into every entry of `values`: entry i is the leading integer
// at the current position, which then moves past the next ',' or ' ' (or to
// the end). Entries beyond the last number become 0.
void parseNumberList(std::string_view text, std::span<uint16_t> values);

}  // namespace etalon
