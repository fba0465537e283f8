#include "io/text_lines.h"

#include <sys/stat.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>

namespace etalon::io {

namespace {

constexpr std::size_t kBlock = 1 << 16;
// Longer than any row of numbers we take; a file without line ends is not
// read whole to find that out.
constexpr std::size_t kLongestLine = 1 << 20;

bool isBinaryByte(unsigned char c) {
    return c == 0 || (c < 0x20 && c != '\t' && c != '\r' && c != '\n' && c != '\f');
}

}  // namespace

std::string LineReader::open(const std::string& path) {
    path_ = path;
    std::error_code ignored;
    if (std::filesystem::is_directory(path, ignored)) return path + " is a folder";
    file_.reset(std::fopen(path.c_str(), "rb"));
    if (!file_) return path + " cannot be read: " + std::strerror(errno);
    struct stat status {};
    if (::fstat(fileno(file_.get()), &status) == 0) {
        device_ = status.st_dev;
        inode_ = status.st_ino;
    }
    block_.resize(kBlock);
    return {};
}

bool LineReader::fail(const std::string& why) {
    if (problem_.empty()) problem_ = path_ + ": " + why;
    return false;
}

bool LineReader::fill() {
    if (eof_) return false;
    end_ = std::fread(block_.data(), 1, block_.size(), file_.get());
    at_ = 0;
    if (end_ == 0) {
        if (std::ferror(file_.get()))
            return fail("reading failed after line " + std::to_string(line_) + ": " +
                        std::strerror(errno));
        eof_ = true;
        return false;
    }
    return true;
}

bool LineReader::next(std::string& line) {
    line.clear();
    if (!problem_.empty()) return false;
    bool any = false;
    for (;;) {
        if (at_ == end_ && !fill()) break;
        any = true;
        const char* start = block_.data() + at_;
        const void* found = std::memchr(start, '\n', end_ - at_);
        const std::size_t take = found ? static_cast<const char*>(found) - start : end_ - at_;
        line.append(start, take);
        at_ += take + (found ? 1 : 0);
        if (line.size() > kLongestLine)
            return fail("line " + std::to_string(line_ + 1) + " is longer than 1 MiB");
        if (found) break;
    }
    if (!problem_.empty()) return false;
    if (!any) {
        if (!sawText_) fail("is empty");
        return false;
    }
    ++line_;
    if (line_ == 1 && line.starts_with("\xEF\xBB\xBF")) line.erase(0, 3);  // a byte-order mark
    if (!line.empty() && line.back() == '\r') line.pop_back();
    for (unsigned char c : line) {
        if (isBinaryByte(c))
            return fail("line " + std::to_string(line_) + " holds binary data, not text");
    }
    if (!isSkippedLine(line)) sawText_ = true;
    return true;
}

bool LineReader::stillThere() {
    if (!problem_.empty()) return false;
    struct stat status {};
    if (::stat(path_.c_str(), &status) != 0 || status.st_dev != device_ || status.st_ino != inode_)
        return fail("the file vanished while it was read (at line " + std::to_string(line_) + ")");
    if (!sawText_) return fail("is empty");
    return true;
}

bool isSkippedLine(std::string_view line) {
    const std::size_t first = line.find_first_not_of(" \t\f");
    return first == std::string_view::npos || line[first] == '#';
}

char detectSeparator(std::string_view line) {
    for (char c : {',', ';', '\t'}) {
        if (line.find(c) != std::string_view::npos) return c;
    }
    return ' ';
}

std::vector<std::string_view> splitFields(std::string_view line, char separator) {
    const auto trim = [](std::string_view s) {
        const std::size_t a = s.find_first_not_of(" \t\f");
        if (a == std::string_view::npos) return std::string_view();
        return s.substr(a, s.find_last_not_of(" \t\f") - a + 1);
    };
    std::vector<std::string_view> fields;
    if (separator == ' ') {
        std::size_t at = 0;
        while ((at = line.find_first_not_of(" \t\f", at)) != std::string_view::npos) {
            const std::size_t end = std::min(line.find_first_of(" \t\f", at), line.size());
            fields.push_back(line.substr(at, end - at));
            at = end;
        }
        return fields;
    }
    std::size_t at = 0;
    for (;;) {
        const std::size_t end = line.find(separator, at);
        fields.push_back(trim(line.substr(at, end == std::string_view::npos ? end : end - at)));
        if (end == std::string_view::npos) break;
        at = end + 1;
    }
    return fields;
}

std::optional<double> parseNumber(std::string_view text) {
    if (text.starts_with('+')) text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<int16_t> parseSample(std::string_view text) {
    if (text.starts_with('+')) text.remove_prefix(1);
    int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
        value < -INT16_MAX || value > INT16_MAX)
        return std::nullopt;
    return static_cast<int16_t>(value);
}

}  // namespace etalon::io
