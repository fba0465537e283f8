#include "export/export_support.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>

namespace etalon::test {

ScratchFolder::ScratchFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "etalon-export-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "no scratch folder";
    path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::vector<std::string> ScratchFolder::names() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<uint8_t> readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

namespace {

std::string run(const std::string& command) {
    std::string output;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return output;
    std::array<char, 4096> chunk;
    std::size_t n;
    while ((n = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0)
        output.append(chunk.data(), n);
    ::pclose(pipe);
    return output;
}

// A `convert` that is really ImageMagick's (a stand-in of the same name may
// come first on the path).
std::optional<std::string> imageMagick() {
    for (const char* candidate :
         {"magick convert", "convert", "/usr/bin/convert", "convert-im6.q16"}) {
        std::string version = run(std::string(candidate) + " -version 2>/dev/null");
        if (version.find("ImageMagick") != std::string::npos) return candidate;
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::vector<uint8_t>> decodeToRgb(const std::filesystem::path& file) {
    static const std::optional<std::string> convert = imageMagick();
    if (!convert) return std::nullopt;
    std::string out = run(*convert + " '" + file.string() + "' -depth 8 rgb:- 2>/dev/null");
    return std::vector<uint8_t>(out.begin(), out.end());
}

}  // namespace etalon::test
