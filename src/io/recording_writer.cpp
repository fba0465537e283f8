#include "io/recording_writer.h"

#include <charconv>

namespace etalon::io {
namespace {

void put(std::string& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
}

}  // namespace

std::string wavRecordingBytes(std::span<const int16_t> samples, uint32_t rate) {
    // The data chunk's size is 32-bit: longer recordings are cut by the caller.
    const auto data = static_cast<uint32_t>(samples.size() * 2);
    std::string out;
    out.reserve(44 + data);
    out += "RIFF";
    put(out, 36 + data, 4);
    out += "WAVEfmt ";
    put(out, 16, 4);
    put(out, 1, 2);  // PCM
    put(out, 1, 2);  // mono
    put(out, rate, 4);
    put(out, rate * 2, 4);
    put(out, 2, 2);
    put(out, 16, 2);
    out += "data";
    put(out, data, 4);
    for (int16_t v : samples)
        put(out, static_cast<uint16_t>(v), 2);
    return out;
}

std::string csvRecordingText(std::span<const int16_t> samples) {
    std::string out = "sample\n";
    out.reserve(out.size() + samples.size() * 6);
    char number[8];
    for (int16_t v : samples) {
        const auto end = std::to_chars(number, number + sizeof number, v).ptr;
        out.append(number, end);
        out.push_back('\n');
    }
    return out;
}

}  // namespace etalon::io
