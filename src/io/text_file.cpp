#include "io/text_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <random>

namespace etalon::io {

namespace {

std::atomic<bool> failNext{false};

// A name beside the target that nobody else uses; O_EXCL makes sure of it.
int createTemporary(const std::string& path, std::string& name) {
    static thread_local std::mt19937 random{std::random_device{}()};
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, ".tmp-%06x",
                      static_cast<unsigned>(random() & 0xFFFFFF));
        name = path + suffix;
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

bool writeAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = ::write(fd, text.data(), text.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        text.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

}  // namespace

void failNextTextFileWrite(bool fail) {
    failNext.store(fail);
}

std::string writeTextFile(const std::string& path, std::string_view text) {
    std::string temporary;
    const int fd = createTemporary(path, temporary);
    if (fd < 0) return path + " cannot be written: " + std::strerror(errno);
    bool ok = !failNext.exchange(false) || (errno = ENOSPC, false);
    // Flushed before the rename, or a crash could leave an empty file.
    ok = ok && writeAll(fd, text) && ::fsync(fd) == 0;
    const int error = errno;
    ok = (::close(fd) == 0) && ok;
    if (ok && ::rename(temporary.c_str(), path.c_str()) == 0) return {};
    const int reason = ok ? errno : error;
    ::unlink(temporary.c_str());
    return path + " cannot be written: " + std::strerror(reason);
}

}  // namespace etalon::io
