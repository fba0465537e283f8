#pragma once

#include <sndfile.h>

#include <gtest/gtest.h>
#include <fstream>
#include <string>
#include <vector>

namespace etalon::test {

inline std::string ioTemp(const std::string& name, const std::string& text) {
    const std::string path = ::testing::TempDir() + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

// A WAV of `channels` interleaved channels written through libsndfile.
inline std::string writeWav(const std::string& name, int subtype, int channels, int rate,
                            const std::vector<double>& interleaved) {
    const std::string path = ::testing::TempDir() + name;
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | subtype;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    EXPECT_NE(file, nullptr) << sf_strerror(nullptr);
    sf_command(file, SFC_SET_NORM_DOUBLE, nullptr, SF_FALSE);
    sf_writef_double(file, interleaved.data(),
                     static_cast<sf_count_t>(interleaved.size() / channels));
    sf_close(file);
    return path;
}

}  // namespace etalon::test
