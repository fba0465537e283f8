#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
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

// Bytes in memory as libsndfile's virtual I/O sees a file.
struct MemoryStream {
    std::span<const uint8_t> bytes;
    sf_count_t at = 0;

    static MemoryStream& of(void* data) { return *static_cast<MemoryStream*>(data); }
    static sf_count_t length(void* data) { return static_cast<sf_count_t>(of(data).bytes.size()); }
    static sf_count_t seek(sf_count_t offset, int whence, void* data) {
        MemoryStream& m = of(data);
        const sf_count_t base = whence == SEEK_CUR ? m.at : whence == SEEK_END ? length(data) : 0;
        // As lseek: anywhere from the start on, past the end included.
        if (offset < -base || offset > INT64_MAX - base) return -1;
        return m.at = base + offset;
    }
    static sf_count_t read(void* to, sf_count_t count, void* data) {
        MemoryStream& m = of(data);
        const sf_count_t got =
            std::clamp<sf_count_t>(length(data) - m.at, 0, std::max<sf_count_t>(count, 0));
        if (got > 0) std::memcpy(to, m.bytes.data() + m.at, static_cast<std::size_t>(got));
        m.at += got;
        return got;
    }
    static sf_count_t write(const void*, sf_count_t, void*) { return 0; }
    static sf_count_t tell(void* data) { return of(data).at; }
};

// The span of one channel of an opened sound, read in blocks. `stillThere`
// says, once reading is done, why the source can no longer be trusted (empty
// when it can).
std::string readSoundSpan(const RecordingRequest& request, SNDFILE* sound, const SF_INFO& info,
                          const std::function<std::string(uint64_t)>& stillThere, Recording& out) {
    const std::string& path = request.path;
    if (info.channels < 1 || request.channel < 1 ||
        request.channel > static_cast<uint32_t>(info.channels))
        return path + ": no channel " + std::to_string(request.channel) + " (the file has " +
               std::to_string(info.channels) + ")";
    // Raw values: integers stay integers, floats keep their own scale.
    sf_command(sound, SFC_SET_NORM_DOUBLE, nullptr, SF_FALSE);
    const auto total = static_cast<uint64_t>(std::max<sf_count_t>(info.frames, 0));

    const auto channels = static_cast<std::size_t>(info.channels);
    std::vector<double> block(4096 * channels);
    bool again = false;
    const auto pass = [&](RecordingSpan& span) -> std::string {
        span.describeBy([](uint64_t index) { return "sample " + std::to_string(index); });
        // The length is in the header: a span past it is refused without reading.
        if (request.first >= total) {
            span.skip(total);
        } else if ((request.first > 0 || again) &&
                   sf_seek(sound, static_cast<sf_count_t>(request.first), SEEK_SET) >= 0) {
            span.skip(request.first);
        } else if (again && sf_seek(sound, 0, SEEK_SET) < 0) {
            return path + ": cannot go back to read it a second time";
        }
        again = true;
        bool more = span.seen() < total;
        while (more) {
            const sf_count_t got = sf_readf_double(
                sound, block.data(), static_cast<sf_count_t>(block.size() / channels));
            if (got <= 0) break;
            for (sf_count_t f = 0; f < got && more; ++f)
                more =
                    span.take(block[static_cast<std::size_t>(f) * channels + request.channel - 1]);
        }
        if (!span.problem().empty()) return span.problem();
        if (sf_error(sound) != SF_ERR_NO_ERROR)
            return path + ": reading failed at sample " + std::to_string(span.seen()) + ": " +
                   sf_strerror(sound);
        if (more && span.seen() < total)
            return path + ": the file ends at sample " + std::to_string(span.seen()) +
                   ", before the " + std::to_string(total) + " its header promises";
        return stillThere(span.seen());
    };
    const std::string problem = readSpan(request, out, pass);
    if (problem.empty() && info.samplerate > 0) out.sampleRate = info.samplerate;
    return problem;
}

std::string notSound(const std::string& path) {
    return path + ": not a sound file libsndfile reads (" + sf_strerror(nullptr) + ")";
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
    if (!file.sound) return notSound(path);
    const auto stillThere = [&path, &opened](uint64_t seen) -> std::string {
        if (sameFile(path, opened)) return {};
        return path + ": the file vanished while it was read (at sample " + std::to_string(seen) +
               ")";
    };
    return readSoundSpan(request, file.sound, info, stillThere, out);
}

std::string readWavRecordingFromMemory(const RecordingRequest& request,
                                       std::span<const uint8_t> bytes, Recording& out) {
    if (std::string problem = recordingRequestProblem(request); !problem.empty()) return problem;
    if (bytes.empty()) return request.path + " is empty";
    MemoryStream stream{bytes};
    SF_VIRTUAL_IO io{&MemoryStream::length, &MemoryStream::seek, &MemoryStream::read,
                     &MemoryStream::write, &MemoryStream::tell};
    SF_INFO info{};
    SoundFile file;
    file.sound = sf_open_virtual(&io, SFM_READ, &info, &stream);
    if (!file.sound) return notSound(request.path);
    return readSoundSpan(
        request, file.sound, info, [](uint64_t) { return std::string(); }, out);
}

}  // namespace etalon::io
