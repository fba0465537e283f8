#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace etalon::io {

// Reads a text file line by line without holding more than one line, so a
// huge file costs only what is read of it. Binary bytes, a failed read and a
// file that vanishes while read end the reading with a problem naming the
// file and the line.
class LineReader {
  public:
    // Returns an empty string, or why the file cannot be read at all.
    std::string open(const std::string& path);
    // The next line without its end; false at the end or after a problem.
    bool next(std::string& line);
    int64_t lineNumber() const { return line_; }
    const std::string& problem() const { return problem_; }
    // Checks, once reading is done, that the file is still where it was.
    bool stillThere();

  private:
    bool fill();
    bool fail(const std::string& why);

    std::string path_;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file_{nullptr, &std::fclose};
    std::vector<char> block_;
    std::size_t at_ = 0, end_ = 0;
    int64_t line_ = 0;
    bool eof_ = false;
    bool sawText_ = false;
    uint64_t device_ = 0, inode_ = 0;
    std::string problem_;
};

// Lines that hold nothing: empty, blank, or a `#` comment.
bool isSkippedLine(std::string_view line);

// The separator a line uses: ',' ';' or '\t' when it holds one, else ' ' for
// runs of spaces.
char detectSeparator(std::string_view line);

// The fields of a line, trimmed; runs of spaces count as one separator.
std::vector<std::string_view> splitFields(std::string_view line, char separator);

// A finite decimal number ("12", "-3.5", "1e3"); none for anything else.
std::optional<double> parseNumber(std::string_view text);

// Whole numbers within +-32,767, the range samples of a series and etalons take.
std::optional<int16_t> parseSample(std::string_view text);

}  // namespace etalon::io
