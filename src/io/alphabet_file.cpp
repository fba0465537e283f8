#include "io/alphabet_file.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "io/file_ending.h"
#include "io/sum_range.h"
#include "io/text_file.h"
#include "io/text_lines.h"

namespace etalon::io {

namespace {

using Json = nlohmann::json;

struct BadRow {
    std::string text;
};

// The rows of an alphabet grow one by one; each is checked against the first.
class AlphabetRows {
  public:
    explicit AlphabetRows(EtalonDepth depth) : depth_(depth) {}

    void add(std::vector<int16_t> row, const std::string& where) {
        if (rows_.size() == kMostFileEtalons)
            throw BadRow{where + ": more than " + std::to_string(kMostFileEtalons) + " etalons"};
        if (row.size() < kShortestFileEtalon || row.size() > kLongestFileEtalon)
            throw BadRow{where + ": an etalon of " + std::to_string(row.size()) +
                         " samples; etalons hold 2..1000"};
        if (!rows_.empty() && row.size() != rows_.front().size())
            throw BadRow{where + ": " + std::to_string(row.size()) +
                         " samples, where the first etalon has " +
                         std::to_string(rows_.front().size()) + "; all etalons have one length"};
        int64_t energy = 0;
        for (int16_t v : row)
            energy += int64_t{v} * v;
        if (depth_ == EtalonDepth::Series && energy > kLargestEtalonEnergy)
            throw BadRow{where + ": the etalon's energy " + std::to_string(energy) + " is above " +
                         std::to_string(kLargestEtalonEnergy) +
                         ", where the 32-bit sums of its fits would wrap"};
        rows_.push_back(std::move(row));
    }

    std::string finish(std::vector<PulseHeader>& out) const {
        if (rows_.empty()) return "holds no etalons";
        std::vector<PulseHeader> alphabet(rows_.size());
        for (std::size_t i = 0; i < rows_.size(); ++i) {
            PulseHeader& p = alphabet[i];
            p.wNumber = static_cast<uint16_t>(i + 1);
            p.wSize = p.wReservedSize = static_cast<uint16_t>(rows_[i].size());
            p.lpData = rows_[i];
        }
        out = std::move(alphabet);
        return {};
    }

  private:
    EtalonDepth depth_;
    std::vector<std::vector<int16_t>> rows_;
};

std::string readCsvAlphabet(const std::string& path, std::vector<PulseHeader>& out,
                            EtalonDepth depth) {
    LineReader reader;
    if (std::string problem = reader.open(path); !problem.empty()) return problem;
    AlphabetRows rows(depth);
    std::string line;
    try {
        while (reader.next(line)) {
            if (isSkippedLine(line)) continue;
            const std::string where = "line " + std::to_string(reader.lineNumber());
            std::vector<int16_t> row;
            const auto fields = splitFields(line, detectSeparator(line));
            for (std::size_t i = 0; i < fields.size(); ++i) {
                const std::optional<int16_t> v = parseSample(fields[i]);
                if (!v)
                    throw BadRow{where + ", value " + std::to_string(i + 1) + ": \"" +
                                 std::string(fields[i]) +
                                 "\" is not a whole number within +-32,767"};
                row.push_back(*v);
            }
            rows.add(std::move(row), where);
        }
    } catch (const BadRow& bad) {
        return path + ": " + bad.text;
    }
    if (!reader.stillThere()) return reader.problem();
    const std::string problem = rows.finish(out);
    return problem.empty() ? problem : path + ": " + problem;
}

std::vector<int16_t> jsonRow(const Json& row, const std::string& where) {
    const Json* data = &row;
    std::string at = where;
    if (row.is_object()) {
        const auto it = row.find("lpData");
        if (it == row.end()) throw BadRow{where + ": field lpData is missing"};
        data = &*it;
        at += ".lpData";
    }
    if (!data->is_array()) throw BadRow{at + " is not an array of samples"};
    std::vector<int16_t> samples;
    for (std::size_t i = 0; i < data->size(); ++i) {
        const Json& v = (*data)[i];
        const bool large = v.is_number_unsigned() && v.get<uint64_t>() > INT16_MAX;
        const int64_t value = v.is_number_integer() && !large ? v.get<int64_t>() : INT64_MAX;
        if (value < -INT16_MAX || value > INT16_MAX)
            throw BadRow{at + "[" + std::to_string(i) + "] is " + v.dump() +
                         ", not a whole number within +-32,767"};
        samples.push_back(static_cast<int16_t>(value));
    }
    return samples;
}

std::string readJsonAlphabet(const std::string& path, std::vector<PulseHeader>& out,
                             EtalonDepth depth) {
    std::error_code ignored;
    if (std::filesystem::is_directory(path, ignored)) return path + " is a folder";
    // 20 rows of 1,000 values never come near this; not read to learn that.
    constexpr std::uintmax_t kLargestAlphabetFile = 16u << 20;
    if (const auto size = std::filesystem::file_size(path, ignored);
        !ignored && size > kLargestAlphabetFile)
        return path + " is " + std::to_string(size >> 20) +
               " MiB, more than any alphabet of 20 etalons of 1,000 samples";
    std::ifstream in(path, std::ios::binary);
    if (!in) return path + " cannot be read: " + std::strerror(errno);
    std::stringstream text;
    text << in.rdbuf();
    if (in.bad()) return path + ": reading failed: " + std::strerror(errno);
    if (text.str().find_first_not_of(" \t\r\n") == std::string::npos) return path + " is empty";
    Json document;
    try {
        document = Json::parse(text.str());
    } catch (const Json::exception& e) {
        const std::string what = e.what();
        return path + ": not valid JSON (" + what.substr(what.find(']') + 2) + ")";
    }
    AlphabetRows rows(depth);
    try {
        const Json* list = &document;
        if (document.is_object()) {
            const auto it = document.find("etalons");
            if (it == document.end()) return path + ": field etalons is missing";
            list = &*it;
        }
        if (!list->is_array()) return path + ": etalons is not an array";
        for (std::size_t i = 0; i < list->size(); ++i) {
            const std::string where = "etalons[" + std::to_string(i) + "]";
            rows.add(jsonRow((*list)[i], where), where);
        }
    } catch (const BadRow& bad) {
        return path + ": " + bad.text;
    }
    const std::string problem = rows.finish(out);
    return problem.empty() ? problem : path + ": " + problem;
}

}  // namespace

std::string alphabetFromRows(std::vector<std::vector<int16_t>> rows, const std::string& what,
                             std::vector<PulseHeader>& out, EtalonDepth depth) {
    AlphabetRows checked(depth);
    try {
        for (std::size_t i = 0; i < rows.size(); ++i)
            checked.add(std::move(rows[i]), "row " + std::to_string(i));
    } catch (const BadRow& bad) {
        return what + ": " + bad.text;
    }
    const std::string problem = checked.finish(out);
    return problem.empty() ? problem : what + ": " + problem;
}

std::optional<AlphabetFormat> alphabetFormatOfPath(std::string_view path) {
    const std::string ending = fileEnding(path);
    if (ending == "json") return AlphabetFormat::Json;
    if (ending == "csv" || ending == "txt") return AlphabetFormat::Csv;
    return std::nullopt;
}

AlphabetFormat guessAlphabetFormat(const std::string& path) {
    if (const auto format = alphabetFormatOfPath(path)) return *format;
    std::ifstream in(path, std::ios::binary);
    char c = 0;
    while (in.get(c) && std::isspace(static_cast<unsigned char>(c))) {
    }
    return in && (c == '{' || c == '[') ? AlphabetFormat::Json : AlphabetFormat::Csv;
}

std::string readAlphabetFile(const std::string& path, AlphabetFormat format,
                             std::vector<PulseHeader>& out, EtalonDepth depth) {
    return format == AlphabetFormat::Csv ? readCsvAlphabet(path, out, depth)
                                         : readJsonAlphabet(path, out, depth);
}

nlohmann::ordered_json alphabetToJson(std::span<const PulseHeader> alphabet) {
    nlohmann::ordered_json etalons = nlohmann::ordered_json::array();
    for (const PulseHeader& pulse : alphabet) {
        std::span<const int16_t> samples = pulse.samples();
        etalons.push_back({{"wNumber", pulse.wNumber},
                           {"wSize", pulse.wSize},
                           {"lpData", std::vector<int16_t>(samples.begin(), samples.end())}});
    }
    return {{"etalons", etalons}};
}

std::string alphabetCsvText(std::span<const PulseHeader> alphabet) {
    std::string text;
    for (const PulseHeader& pulse : alphabet) {
        const char* separator = "";
        for (int16_t v : pulse.samples()) {
            text += separator;
            text += std::to_string(v);
            separator = ",";
        }
        text += '\n';
    }
    return text;
}

std::string writeAlphabetFile(const std::string& path, std::span<const PulseHeader> alphabet,
                              AlphabetFormat format) {
    return writeTextFile(path, format == AlphabetFormat::Csv
                                   ? alphabetCsvText(alphabet)
                                   : alphabetToJson(alphabet).dump() + '\n');
}

}  // namespace etalon::io
