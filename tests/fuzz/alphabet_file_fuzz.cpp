// The alphabet files: the first byte picks CSV (even) or JSON (odd), the rest
// is the file. An accepted alphabet keeps the promised shape and reads back
// as it was written.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "io/alphabet_file.h"
#include "io/sum_range.h"

namespace {

using etalon::io::AlphabetFormat;

void write(const std::string& path, const char* data, std::size_t size) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(data, static_cast<std::streamsize>(size));
}

void checkShape(const std::vector<etalon::PulseHeader>& alphabet) {
    if (alphabet.empty() || alphabet.size() > etalon::io::kMostFileEtalons) std::abort();
    const std::size_t length = alphabet[0].lpData.size();
    if (length < etalon::io::kShortestFileEtalon || length > etalon::io::kLongestFileEtalon)
        std::abort();
    for (std::size_t i = 0; i < alphabet.size(); ++i) {
        const etalon::PulseHeader& p = alphabet[i];
        if (p.wNumber != i + 1 || p.wSize != length || p.lpData.size() != length) std::abort();
        int64_t energy = 0;
        for (int16_t v : p.lpData) {
            if (v < -INT16_MAX) std::abort();
            energy += int64_t{v} * v;
        }
        if (energy > etalon::io::kLargestEtalonEnergy) std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    static const std::string path = "/tmp/etalon-fuzz-alphabet-" + std::to_string(getpid());
    const AlphabetFormat format = data[0] & 1 ? AlphabetFormat::Json : AlphabetFormat::Csv;
    write(path, reinterpret_cast<const char*>(data + 1), size - 1);
    std::vector<etalon::PulseHeader> alphabet;
    const std::string problem = etalon::io::readAlphabetFile(path, format, alphabet);
    std::remove(path.c_str());  // libFuzzer's forked jobs would each leave one behind
    if (!problem.empty()) {
        if (problem.rfind(path, 0) != 0) std::abort();  // a refusal names the file
        return 0;
    }
    checkShape(alphabet);
    const std::string text = format == AlphabetFormat::Csv
                                 ? etalon::io::alphabetCsvText(alphabet)
                                 : etalon::io::alphabetToJson(alphabet).dump() + '\n';
    write(path, text.data(), text.size());
    std::vector<etalon::PulseHeader> again;
    const bool readBack = etalon::io::readAlphabetFile(path, format, again).empty();
    std::remove(path.c_str());
    if (!readBack || again.size() != alphabet.size()) std::abort();
    for (std::size_t i = 0; i < again.size(); ++i)
        if (again[i].lpData != alphabet[i].lpData) std::abort();
    return 0;
}
