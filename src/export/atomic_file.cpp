#include "export/atomic_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <random>
#include <string>

namespace etalon {

namespace {

// Armed only by tests; unarmed, each step pays one load and a branch.
std::atomic<FileFailure> injectedStep{FileFailure::None};
std::atomic<int> injectedCountdown{0};

bool injectedFailure(FileFailure step) {
    if (injectedStep.load(std::memory_order_relaxed) != step) [[likely]]
        return false;
    if (injectedCountdown.load() <= 0) return false;
    if (injectedCountdown.fetch_sub(1) - 1 > 0) return false;
    injectedStep.store(FileFailure::None);
    return true;
}

// A name nobody else uses beside the target; O_EXCL makes sure of it.
std::filesystem::path temporaryName(const std::filesystem::path& target) {
    static thread_local std::mt19937 random{std::random_device{}()};
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, ".tmp-%06x", static_cast<unsigned>(random() & 0xFFFFFF));
    std::filesystem::path name = target;
    name += suffix;
    return name;
}

}  // namespace

void failFileStepAfter(FileFailure step, int n) {
    injectedCountdown.store(n);
    injectedStep.store(n > 0 ? step : FileFailure::None);
}

AtomicFile::AtomicFile(std::filesystem::path target) : target_(std::move(target)) {}

AtomicFile::~AtomicFile() {
    discard();
}

// The first failure is the one worth reporting; later steps only follow from it.
bool AtomicFile::fail(FileFailure step, int error) {
    discard();
    if (failure_ == FileFailure::None) {
        failure_ = step;
        error_ = error;
    }
    return false;
}

bool AtomicFile::create() {
    if (fd_ >= 0 || failure_ != FileFailure::None) return fail(FileFailure::Create, EINVAL);
    if (injectedFailure(FileFailure::Create)) return fail(FileFailure::Create, EACCES);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::filesystem::path name = temporaryName(target_);
        // 0666 and the umask give the permissions of any newly created file.
        int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            fd_ = fd;
            temporary_ = std::move(name);
            return true;
        }
        if (errno != EEXIST) return fail(FileFailure::Create, errno);
    }
    return fail(FileFailure::Create, EEXIST);
}

bool AtomicFile::write(std::span<const uint8_t> bytes) {
    if (fd_ < 0) return fail(FileFailure::Write, EBADF);
    if (injectedFailure(FileFailure::Write)) return fail(FileFailure::Write, ENOSPC);
    while (!bytes.empty()) {
        ssize_t written = ::write(fd_, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return fail(FileFailure::Write, errno);
        }
        bytes = bytes.subspan(static_cast<std::size_t>(written));
    }
    return true;
}

bool AtomicFile::commit() {
    if (fd_ < 0) return fail(FileFailure::Close, EBADF);
    if (injectedFailure(FileFailure::Close)) return fail(FileFailure::Close, EIO);
    // Flushed before the rename, or a crash could leave an empty target.
    if (::fsync(fd_) != 0) return fail(FileFailure::Close, errno);
    int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) return fail(FileFailure::Close, errno);
    if (::rename(temporary_.c_str(), target_.c_str()) != 0) return fail(FileFailure::Close, errno);
    temporary_.clear();
    return true;
}

void AtomicFile::discard() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temporary_.empty()) {
        ::unlink(temporary_.c_str());
        temporary_.clear();
    }
}

FileWriteResult writeFileAtomically(const std::filesystem::path& target,
                                    std::span<const uint8_t> bytes) {
    return writeFileAtomically(target, [bytes](AtomicFile& file) { return file.write(bytes); });
}

FileWriteResult writeFileAtomically(const std::filesystem::path& target,
                                    const std::function<bool(AtomicFile&)>& contents) {
    AtomicFile file(target);
    if (file.create() && contents(file) && file.commit()) return {};
    if (file.failure() == FileFailure::None) return {FileFailure::Write, 0};
    return {file.failure(), file.errorNumber()};
}

}  // namespace etalon
