#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include "io/recording_readers.h"
#include "io/recording_span.h"

namespace etalon::io {

namespace {

struct SoundFile {
    int fd = -1;
    SNDFILE* sound = nullptr;
    ~SoundFile() {
        if (sound) sf_close(sound);
        if (fd >= 0) ::close(fd);
    }
};

bool sameFile(const std::string& path, const struct stat& opened) {
    struct stat now {};
    return ::stat(path.c_str(), &now) == 0 && now.st_dev == opened.st_dev &&
           now.st_ino == opened.st_ino;
}

}  // namespace

std::string readWavRecording(const RecordingRequest& request, Recording& out) {
    const std::string& path = request.path;
    std::error_code ignored;
    if (std::filesystem::is_directory(path, ignored)) return path + " is a folder";
    SoundFile file;
    file.fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (file.fd < 0) return path + " cannot be read: " + std::strerror(errno);
    struct stat opened {};
    ::fstat(file.fd, &opened);
    if (opened.st_size == 0) return path + " is empty";
    SF_INFO info{};
    file.sound = sf_open_fd(file.fd, SFM_READ, &info, SF_FALSE);
    if (!file.sound)
        return path + ": not a sound file libsndfile reads (" + sf_strerror(nullptr) + ")";
    if (info.channels < 1 || request.channel < 1 ||
        request.channel > static_cast<uint32_t>(info.channels))
        return path + ": no channel " + std::to_string(request.channel) + " (the file has " +
               std::to_string(info.channels) + ")";
    // Raw values: integers stay integers, floats keep their own scale.
    sf_command(file.sound, SFC_SET_NORM_DOUBLE, nullptr, SF_FALSE);
    const auto total = static_cast<uint64_t>(std::max<sf_count_t>(info.frames, 0));

    RecordingSpan span(request, [](uint64_t index) { return "sample " + std::to_string(index); });
    // The length is in the header: a span past it is refused without reading.
    if (request.first > 0 && request.first < total &&
        sf_seek(file.sound, static_cast<sf_count_t>(request.first), SEEK_SET) >= 0)
        span.skip(request.first);
    else if (request.first >= total)
        span.skip(total);
    const auto channels = static_cast<std::size_t>(info.channels);
    std::vector<double> block(4096 * channels);
    bool more = span.seen() < total;
    while (more) {
        const sf_count_t got = sf_readf_double(file.sound, block.data(),
                                               static_cast<sf_count_t>(block.size() / channels));
        if (got <= 0) break;
        for (sf_count_t f = 0; f < got && more; ++f)
            more = span.take(block[static_cast<std::size_t>(f) * channels + request.channel - 1]);
    }
    if (!span.problem().empty()) return span.problem();
    if (sf_error(file.sound) != SF_ERR_NO_ERROR)
        return path + ": reading failed at sample " + std::to_string(span.seen()) + ": " +
               sf_strerror(file.sound);
    if (more && span.seen() < total)
        return path + ": the file ends at sample " + std::to_string(span.seen()) + ", before the " +
               std::to_string(total) + " its header promises";
    if (!sameFile(path, opened))
        return path + ": the file vanished while it was read (at sample " +
               std::to_string(span.seen()) + ")";
    const std::string problem = span.finish(out);
    if (problem.empty() && info.samplerate > 0) out.sampleRate = info.samplerate;
    return problem;
}

}  // namespace etalon::io
