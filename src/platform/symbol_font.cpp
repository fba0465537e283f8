#include <array>
#include <string>

#include "platform/symbol_font.h"

namespace etalon::platform {
namespace {

// The letters of the classic Symbol font, a..z and A..Z.
constexpr std::array<const char*, 26> kLower = {"α", "β", "χ", "δ", "ε", "φ", "γ", "η", "ι",
                                                "ϕ", "κ", "λ", "μ", "ν", "ο", "π", "θ", "ρ",
                                                "σ", "τ", "υ", "ϖ", "ω", "ξ", "ψ", "ζ"};
constexpr std::array<const char*, 26> kUpper = {"Α", "Β", "Χ", "Δ", "Ε", "Φ", "Γ", "Η", "Ι",
                                                "ϑ", "Κ", "Λ", "Μ", "Ν", "Ο", "Π", "Θ", "Ρ",
                                                "Σ", "Τ", "Υ", "ς", "Ω", "Ξ", "Ψ", "Ζ"};

}  // namespace

std::string symbolToGreek(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (char c : text) {
        if (c >= 'a' && c <= 'z') {
            out += kLower[c - 'a'];
        } else if (c >= 'A' && c <= 'Z') {
            out += kUpper[c - 'A'];
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace etalon::platform
