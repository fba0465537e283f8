#include "cli/series_json_input.h"

#include <fstream>
#include <limits>
#include <nlohmann/json.hpp>
#include <sstream>

#include "series/series_header.h"

namespace etalon::cli {

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

const Json& seriesObject(const Json& document) {
    if (!document.is_object()) throw BadField{"the file does not hold a JSON object"};
    const auto it = document.find("series");
    if (it == document.end()) return document;
    if (it->is_object()) return *it;
    if (it->is_array() && it->size() == 1 && (*it)[0].is_object()) return (*it)[0];
    throw BadField{"\"series\" must hold exactly one series"};
}

void parse(const Json& document, uint16_t pulseLength, uint16_t etalons, SeriesFile& s) {
    const Json& series = seriesObject(document);
    constexpr int64_t i16lo = INT16_MIN, i16hi = INT16_MAX;
    s.wImpulseSize =
        static_cast<uint16_t>(number(series, "wImpulseSize", pulseLength, pulseLength));
    s.dwSeriesSize = static_cast<uint32_t>(number(series, "dwSeriesSize", pulseLength, INT16_MAX));
    s.wTmin = static_cast<uint16_t>(number(series, "wTmin", 1, UINT16_MAX));
    s.wTmax = static_cast<uint16_t>(number(series, "wTmax", s.wTmin, UINT16_MAX));
    // The record built from the file holds this many pulses.
    const uint16_t capacity =
        pulseCountBounds(s.dwSeriesSize, s.wImpulseSize, s.wTmin, s.wTmax).maxPulses;
    s.wImpulseQuantity = static_cast<uint16_t>(number(series, "wImpulseQuantity", 1, capacity));
    s.wMaxPulses = static_cast<uint16_t>(number(series, "wMaxPulses", 0, capacity));
    s.wMinPulses = static_cast<uint16_t>(number(series, "wMinPulses", 0, UINT16_MAX));
    s.wNoiseLevel = static_cast<int16_t>(number(series, "wNoiseLevel", i16lo, i16hi));
    s.wAmplitude = static_cast<int16_t>(number(series, "wAmplitude", i16lo, i16hi));
    s.lpPureData = array(series, "lpPureData", s.dwSeriesSize, i16lo, i16hi);
    s.lpNoisyData = array(series, "lpNoisyData", s.dwSeriesSize, i16lo, i16hi);
    const std::size_t q = s.wImpulseQuantity;
    const int64_t room = int64_t{s.dwSeriesSize} - s.wImpulseSize;  // last start inside
    s.lpPositions = array(series, "lpPositions", q, 0, room);
    s.lpMinPositions = array(series, "lpMinPositions", q, 0, room);
    s.lpMaxPositions = array(series, "lpMaxPositions", q, 0, room);
    s.lpEtalons = array(series, "lpEtalons", q, 1, etalons);
    s.lpCutStarts = array(series, "lpCutStarts", q, 0, s.wImpulseSize - 1);
    s.lpCutEnds = array(series, "lpCutEnds", q, 0, s.wImpulseSize - 1);
    const auto subset = static_cast<std::size_t>(number(series, "wSubsetLength", 0, capacity));
    s.lpSelectedSubset = array(series, "lpSelectedSubset", subset, 1, etalons);
}

}  // namespace

std::string readSeriesFile(const std::string& path, uint16_t pulseLength, uint16_t etalons,
                           SeriesFile& out) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return path + ": cannot be read";
    std::stringstream text;
    text << file.rdbuf();
    Json document;
    try {
        document = Json::parse(text.str());
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

}  // namespace etalon::cli
