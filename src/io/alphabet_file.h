#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "pulses/pulse_header.h"

namespace etalon::io {

// What an alphabet file may hold: 1 to 20 etalons of one length L.
inline constexpr uint16_t kMostFileEtalons = 20;
inline constexpr uint16_t kShortestFileEtalon = 2;
inline constexpr uint16_t kLongestFileEtalon = 1000;

enum class AlphabetFormat { Json, Csv };

// Made series sum their fits in 32 bits, so their etalons' energy is bounded;
// a recording's whole-recording path sums in 64 bits and takes any etalon.
enum class EtalonDepth { Series, Recording };

// The format a file's ending names (.json, .csv/.txt), if any.
std::optional<AlphabetFormat> alphabetFormatOfPath(std::string_view path);
// The ending's format, else JSON when the file starts with '{' or '[', else CSV.
AlphabetFormat guessAlphabetFormat(const std::string& path);

// Reads an alphabet: JSON as `etalon-cli alphabet` prints it ({"etalons":
// [{"lpData": [...]}, ...]}, rows may also be plain arrays), or CSV with one
// etalon a row (`#` comments skipped). Etalons are numbered 1.. in file
// order. Refused, naming the file and the row: no etalons, more than 20,
// rows of different lengths, a length outside 2..1000, a value that is not a
// whole number within +-32,767, an etalon whose energy would wrap the 32-bit
// sums (EtalonDepth::Series). `out` is written only on success.
std::string readAlphabetFile(const std::string& path, AlphabetFormat format,
                             std::vector<PulseHeader>& out,
                             EtalonDepth depth = EtalonDepth::Series);

// The readers' checks on etalons given in memory (row i named "row i"),
// the refusals prefixed with `what`.
std::string alphabetFromRows(std::vector<std::vector<int16_t>> rows, const std::string& what,
                             std::vector<PulseHeader>& out,
                             EtalonDepth depth = EtalonDepth::Series);

// {"etalons": [{"wNumber", "wSize", "lpData"}, ...]}.
nlohmann::ordered_json alphabetToJson(std::span<const PulseHeader> alphabet);
// One etalon a row, values separated by commas.
std::string alphabetCsvText(std::span<const PulseHeader> alphabet);

// Writes the alphabet file, all or nothing. Returns an empty string or what
// went wrong.
std::string writeAlphabetFile(const std::string& path, std::span<const PulseHeader> alphabet,
                              AlphabetFormat format);

}  // namespace etalon::io
