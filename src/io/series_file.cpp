#include "io/series_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <nlohmann/json.hpp>

#include "io/geometry_text.h"
#include "io/text_file.h"
#include "pulses/pulse_header.h"
#include "series/series_generator.h"
#include "series/series_header.h"

namespace etalon::io {

namespace {

using Json = nlohmann::json;

// What went wrong, for the one-line message.
struct BadField {
    std::string text;
};

const Json& field(const Json& series, const char* name) {
    const auto it = series.find(name);
    if (it == series.end()) throw BadField{std::string("field ") + name + " is missing"};
    return *it;
}

int64_t wholeNumber(const Json& value, const std::string& name, int64_t low, int64_t high) {
    if (!value.is_number_integer()) throw BadField{"field " + name + " is not a whole number"};
    const int64_t v =
        value.is_number_unsigned()
            ? static_cast<int64_t>(std::min<uint64_t>(value.get<uint64_t>(), INT64_MAX))
            : value.get<int64_t>();
    if (v < low || v > high) {
        throw BadField{"field " + name + " is " + std::to_string(v) + ", outside " +
                       std::to_string(low) + ".." + std::to_string(high)};
    }
    return v;
}

int64_t number(const Json& series, const char* name, int64_t low, int64_t high) {
    return wholeNumber(field(series, name), name, low, high);
}

std::vector<int16_t> array(const Json& series, const char* name, std::size_t entries, int64_t low,
                           int64_t high) {
    const Json& value = field(series, name);
    if (!value.is_array()) throw BadField{std::string("field ") + name + " is not an array"};
    if (value.size() != entries) {
        throw BadField{std::string("field ") + name + " has " + std::to_string(value.size()) +
                       " entries, expected " + std::to_string(entries)};
    }
    std::vector<int16_t> out;
    out.reserve(entries);
    for (std::size_t i = 0; i < entries; ++i) {
        const std::string at = std::string(name) + "[" + std::to_string(i) + "]";
        out.push_back(static_cast<int16_t>(wholeNumber(value[i], at, low, high)));
    }
    return out;
}

// The file's bytes; a folder, a file that cannot be read (with the system's
// reason) and an empty file are named as such rather than as bad JSON.
std::string readWholeFile(const std::string& path, std::string& text) {
    std::error_code ignored;
    if (std::filesystem::is_directory(path, ignored)) return path + " is a folder";
    // Far more than a series of 32,767 samples takes; not read to learn that.
    constexpr std::uintmax_t kLargestSeriesFile = 64u << 20;
    if (const std::uintmax_t size = std::filesystem::file_size(path, ignored);
        !ignored && size > kLargestSeriesFile) {
        return path + " is " + std::to_string(size >> 20) +
               " MiB, more than any series file of 32,767 samples";
    }
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                               &std::fclose);
    if (!file) return path + " cannot be read: " + std::strerror(errno);
    char block[65536];
    std::size_t got = 0;
    while ((got = std::fread(block, 1, sizeof block, file.get())) > 0)
        text.append(block, got);
    if (std::ferror(file.get())) return path + " cannot be read: " + std::strerror(errno);
    if (text.find_first_not_of(" \t\r\n") == std::string::npos) return path + " is empty";
    return {};
}

const Json& seriesObject(const Json& document) {
    if (!document.is_object()) throw BadField{"the file does not hold a JSON object"};
    const auto it = document.find("series");
    if (it == document.end()) return document;
    if (it->is_object()) return *it;
    if (it->is_array() && it->size() == 1 && (*it)[0].is_object()) return (*it)[0];
    throw BadField{"\"series\" must hold exactly one series"};
}

// Each entry of `first` against the same entry of `second`; throws BadField
// naming both when `ordered` is false for them.
template <class Ordered>
void pairwise(const std::vector<int16_t>& first, const char* firstName,
              const std::vector<int16_t>& second, const char* secondName, const char* relation,
              Ordered ordered) {
    for (std::size_t k = 0; k < first.size(); ++k) {
        if (ordered(first[k], second[k])) continue;
        const std::string at = "[" + std::to_string(k) + "]";
        throw BadField{"field " + std::string(firstName) + at + " is " + std::to_string(first[k]) +
                       ", " + relation + " " + secondName + at + " " + std::to_string(second[k])};
    }
}

// The geometry within what the command line takes, and one some series fits.
void readGeometry(const Json& series, uint16_t pulseLength, SeriesFile& s) {
    s.wImpulseSize =
        static_cast<uint16_t>(number(series, "wImpulseSize", pulseLength, pulseLength));
    s.dwSeriesSize = static_cast<uint32_t>(number(series, "dwSeriesSize", pulseLength, INT16_MAX));
    s.wTmin = static_cast<uint16_t>(number(series, "wTmin", 1, INT16_MAX));
    s.wTmax = static_cast<uint16_t>(number(series, "wTmax", 1, INT16_MAX));
    const auto named = [](const char* name, int64_t value) {
        return std::string(name) + " " + std::to_string(value);
    };
    const std::string why = geometryFaultText(
        s.dwSeriesSize, s.wImpulseSize, s.wTmin, s.wTmax,
        {named("dwSeriesSize", s.dwSeriesSize), named("wTmin", s.wTmin), named("wTmax", s.wTmax)});
    if (!why.empty()) throw BadField{why + ": no series has this geometry"};
}

// The count bounds are the geometry's, and the pulse count lies within them.
void readPulseCounts(const Json& series, SeriesFile& s) {
    PulseCountBounds bounds = pulseCountBounds(s.dwSeriesSize, s.wImpulseSize, s.wTmin, s.wTmax);
    bounds.minPulses = std::max<uint16_t>(bounds.minPulses, 1);
    const std::string geometry = "dwSeriesSize " + std::to_string(s.dwSeriesSize) + ", wTmin " +
                                 std::to_string(s.wTmin) + " and wTmax " + std::to_string(s.wTmax);
    const auto derived = [&](const char* name, uint16_t expected, const char* which) {
        const int64_t v = number(series, name, 0, UINT16_MAX);
        if (v != expected) {
            throw BadField{"field " + std::string(name) + " is " + std::to_string(v) + ", not " +
                           std::to_string(expected) + ", the " + which + " pulses " + geometry +
                           " allow"};
        }
        return static_cast<uint16_t>(v);
    };
    s.wMinPulses = derived("wMinPulses", bounds.minPulses, "fewest");
    s.wMaxPulses = derived("wMaxPulses", bounds.maxPulses, "most");
    const int64_t q = number(series, "wImpulseQuantity", 0, UINT16_MAX);
    // 0: a recording saved with its count unknown.
    if ((q != 0 && q < s.wMinPulses) || q > s.wMaxPulses) {
        throw BadField{"field wImpulseQuantity is " + std::to_string(q) + ", outside " +
                       std::to_string(s.wMinPulses) + ".." + std::to_string(s.wMaxPulses) +
                       ", the pulse counts " + geometry + " allow"};
    }
    s.wImpulseQuantity = static_cast<uint16_t>(q);
}

void parse(const Json& document, uint16_t pulseLength, uint16_t etalons, SeriesFile& s) {
    const Json& series = seriesObject(document);
    constexpr int64_t i16lo = INT16_MIN, i16hi = INT16_MAX;
    readGeometry(series, pulseLength, s);
    readPulseCounts(series, s);
    // The noise levels --noise takes.
    s.wNoiseLevel = static_cast<int16_t>(number(series, "wNoiseLevel", 0, kLargestNoiseLevel));
    s.wAmplitude = static_cast<int16_t>(number(series, "wAmplitude", i16lo, i16hi));
    s.lpPureData = array(series, "lpPureData", s.dwSeriesSize, i16lo, i16hi);
    s.lpNoisyData = array(series, "lpNoisyData", s.dwSeriesSize, i16lo, i16hi);
    const std::size_t q = s.wImpulseQuantity;
    const int64_t room = int64_t{s.dwSeriesSize} - s.wImpulseSize;  // last start inside
    // A recording has no truth: every etalon 0 and every position -1.
    s.lpEtalons = array(series, "lpEtalons", q, 0, etalons);
    const bool truth =
        std::any_of(s.lpEtalons.begin(), s.lpEtalons.end(), [](int16_t e) { return e != 0; });
    if (truth) s.lpEtalons = array(series, "lpEtalons", q, 1, etalons);
    s.lpPositions = array(series, "lpPositions", q, truth ? 0 : -1, truth ? room : -1);
    s.lpMinPositions = array(series, "lpMinPositions", q, 0, room);
    s.lpMaxPositions = array(series, "lpMaxPositions", q, 0, room);
    const auto notAbove = [](int16_t a, int16_t b) { return a <= b; };
    // The ranges bound the search of the procedures that read them.
    if (truth) {
        pairwise(s.lpMinPositions, "lpMinPositions", s.lpPositions, "lpPositions", "above",
                 notAbove);
        pairwise(s.lpPositions, "lpPositions", s.lpMaxPositions, "lpMaxPositions", "above",
                 notAbove);
    } else {
        pairwise(s.lpMinPositions, "lpMinPositions", s.lpMaxPositions, "lpMaxPositions", "above",
                 notAbove);
    }
    s.lpCutStarts = array(series, "lpCutStarts", q, 0, s.wImpulseSize - 1);
    s.lpCutEnds = array(series, "lpCutEnds", q, 0, s.wImpulseSize - 1);
    pairwise(s.lpCutStarts, "lpCutStarts", s.lpCutEnds, "lpCutEnds", "after", notAbove);
    const auto subset = static_cast<std::size_t>(number(series, "wSubsetLength", 0, s.wMaxPulses));
    s.lpSelectedSubset = array(series, "lpSelectedSubset", subset, 1, etalons);
}

}  // namespace

std::string readSeriesFile(const std::string& path, uint16_t pulseLength, uint16_t etalons,
                           SeriesFile& out) {
    std::string text;
    if (std::string problem = readWholeFile(path, text); !problem.empty()) return problem;
    Json document;
    try {
        document = Json::parse(text);
    } catch (const Json::exception& e) {
        std::string what = e.what();
        return path + ": not valid JSON (" + what.substr(what.find(']') + 2) + ")";
    }
    try {
        parse(document, pulseLength, etalons, out);
    } catch (const BadField& bad) {
        return path + ": " + bad.text;
    } catch (const Json::exception& e) {
        return path + ": " + e.what();
    }
    return {};
}

std::unique_ptr<SeriesHeader> seriesFromFile(MessageSink& sink, const SeriesFile& file,
                                             uint16_t etalons, uint16_t processingTmin) {
    // Room for the longest chain the processing bounds allow as well.
    const uint16_t tmin = std::min(file.wTmin, processingTmin);
    auto record = getCutOffSeriesHeader(sink, etalons, file.wImpulseSize, tmin,
                                        std::max(file.wTmax, tmin), file.dwSeriesSize, nullptr);
    if (!record) return nullptr;
    SeriesHeader& s = *record;
    s.wTmin = file.wTmin;
    s.wTmax = file.wTmax;
    s.wImpulseSize = file.wImpulseSize;
    s.wImpulseQuantity = file.wImpulseQuantity;
    s.wMinPulses = file.wMinPulses;
    s.wMaxPulses = file.wMaxPulses;
    s.wNoiseLevel = file.wNoiseLevel;
    s.wAmplitude = file.wAmplitude;
    std::copy(file.lpPureData.begin(), file.lpPureData.end(), s.lpPureData.begin());
    std::copy(file.lpNoisyData.begin(), file.lpNoisyData.end(), s.lpNoisyData.begin());
    const std::pair<const std::vector<int16_t>*, std::vector<int16_t>*> pulses[] = {
        {&file.lpPositions, &s.lpPositions},       {&file.lpMinPositions, &s.lpMinPositions},
        {&file.lpMaxPositions, &s.lpMaxPositions}, {&file.lpEtalons, &s.lpEtalons},
        {&file.lpCutStarts, &s.lpCutStarts},       {&file.lpCutEnds, &s.lpCutEnds}};
    for (const auto& [from, to] : pulses)
        std::copy(from->begin(), from->end(), to->begin());
    std::fill(s.lpRestoredPositions.begin(), s.lpRestoredPositions.end(), int16_t{-1});
    std::copy(file.lpSelectedSubset.begin(), file.lpSelectedSubset.end(),
              s.lpSelectedSubset.begin());
    s.wSubsetLength = static_cast<uint16_t>(file.lpSelectedSubset.size());
    return record;
}

namespace {

nlohmann::ordered_json firstEntries(const std::vector<int16_t>& values, std::size_t count) {
    count = std::min(count, values.size());
    return nlohmann::ordered_json(std::vector<int16_t>(values.begin(), values.begin() + count));
}

}  // namespace

nlohmann::ordered_json seriesToJson(const SeriesHeader& series) {
    const std::size_t n = series.dwSeriesSize;
    const std::size_t q = series.wImpulseQuantity;
    nlohmann::ordered_json out;
    out["dwSeriesSize"] = series.dwSeriesSize;
    out["wTmin"] = series.wTmin;
    out["wTmax"] = series.wTmax;
    out["wImpulseSize"] = series.wImpulseSize;
    out["wImpulseQuantity"] = series.wImpulseQuantity;
    out["wMinPulses"] = series.wMinPulses;
    out["wMaxPulses"] = series.wMaxPulses;
    out["wNoiseLevel"] = series.wNoiseLevel;
    out["wAmplitude"] = series.wAmplitude;
    out["lpPureData"] = firstEntries(series.lpPureData, n);
    out["lpNoisyData"] = firstEntries(series.lpNoisyData, n);
    out["lpPositions"] = firstEntries(series.lpPositions, q);
    out["lpMinPositions"] = firstEntries(series.lpMinPositions, q);
    out["lpMaxPositions"] = firstEntries(series.lpMaxPositions, q);
    out["lpEtalons"] = firstEntries(series.lpEtalons, q);
    out["lpCutStarts"] = firstEntries(series.lpCutStarts, q);
    out["lpCutEnds"] = firstEntries(series.lpCutEnds, q);
    out["wSubsetLength"] = series.wSubsetLength;
    out["lpSelectedSubset"] = firstEntries(series.lpSelectedSubset, series.wSubsetLength);
    return out;
}

std::string writeSeriesFile(const std::string& path, const SeriesHeader& series) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    list.push_back(seriesToJson(series));
    return writeTextFile(path, nlohmann::ordered_json{{"series", list}}.dump() + '\n');
}

}  // namespace etalon::io
