#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "io/recording_readers.h"
#include "io/recording_span.h"

namespace etalon::io {

namespace {

using Json = nlohmann::json;

// Collects the first "lpNoisyData" array of a series file as it streams by,
// stopping the parse once the span is complete.
class NoisyDataHandler : public nlohmann::json_sax<Json> {
  public:
    explicit NoisyDataHandler(RecordingSpan& span) : span_(span) {}

    bool sawArray() const { return found_; }
    bool stoppedEarly() const { return stopped_; }
    const std::string& problem() const { return problem_; }

    bool null() override { return value("null"); }
    bool boolean(bool) override { return value("true or false"); }
    bool number_integer(number_integer_t v) override { return number(static_cast<double>(v)); }
    bool number_unsigned(number_unsigned_t v) override { return number(static_cast<double>(v)); }
    bool number_float(number_float_t v, const string_t&) override { return number(v); }
    bool string(string_t&) override { return value("a string"); }
    bool binary(binary_t&) override { return value("binary data"); }
    bool start_object(std::size_t) override {
        ++depth_;
        return value("an object");
    }
    bool end_object() override {
        --depth_;
        return true;
    }
    bool key(string_t& name) override {
        nextIsData_ = !found_ && name == "lpNoisyData";
        return true;
    }
    bool start_array(std::size_t) override {
        ++depth_;
        if (inData_) return value("an array");
        if (nextIsData_) {
            inData_ = found_ = true;
            dataDepth_ = depth_;
        }
        nextIsData_ = false;
        return true;
    }
    bool end_array() override {
        if (inData_ && depth_ == dataDepth_) {
            inData_ = false;
            done_ = true;
            return false;  // nothing more is needed from the file
        }
        --depth_;
        return true;
    }
    bool parse_error(std::size_t, const std::string&,
                     const nlohmann::detail::exception& e) override {
        const std::string what = e.what();
        problem_ = "not valid JSON (" + what.substr(what.find(']') + 2) + ")";
        return false;
    }
    bool done() const { return done_; }

  private:
    bool value(const char* what) {
        nextIsData_ = false;
        if (!inData_) return true;
        problem_ =
            "lpNoisyData[" + std::to_string(span_.seen()) + "] is " + what + ", not a number";
        return false;
    }
    bool number(double v) {
        nextIsData_ = false;
        if (!inData_) return true;
        if (span_.take(v)) return true;
        stopped_ = true;
        return false;
    }

    RecordingSpan& span_;
    int depth_ = 0, dataDepth_ = 0;
    bool nextIsData_ = false, inData_ = false, found_ = false, stopped_ = false, done_ = false;
    std::string problem_;
};

}  // namespace

std::string readJsonRecording(const RecordingRequest& request, Recording& out) {
    const std::string& path = request.path;
    std::error_code ignored;
    if (std::filesystem::is_directory(path, ignored)) return path + " is a folder";
    struct stat opened {};
    if (::stat(path.c_str(), &opened) != 0)
        return path + " cannot be read: " + std::strerror(errno);
    if (opened.st_size == 0) return path + " is empty";
    return readSpan(request, out, [&](RecordingSpan& span) -> std::string {
        std::ifstream in(path, std::ios::binary);
        if (!in) return path + " cannot be read: " + std::strerror(errno);
        span.describeBy(
            [](uint64_t index) { return "lpNoisyData[" + std::to_string(index) + "]"; });
        NoisyDataHandler handler(span);
        Json::sax_parse(in, &handler);
        if (!span.problem().empty()) return span.problem();
        if (!handler.problem().empty()) return path + ": " + handler.problem();
        if (in.bad()) return path + ": reading failed: " + std::strerror(errno);
        if (!handler.sawArray()) return path + ": field lpNoisyData is missing";
        struct stat now {};
        if (::stat(path.c_str(), &now) != 0 || now.st_ino != opened.st_ino ||
            now.st_dev != opened.st_dev)
            return path + ": the file vanished while it was read";
        return {};
    });
}

}  // namespace etalon::io
