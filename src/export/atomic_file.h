#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>

namespace etalon {

// The step at which saving a file failed; callers show their own texts.
enum class FileFailure { None, Create, Write, Close };

// The n-th time `step` is reached from now (1 = the next) fails as a full
// disk would; 0 switches it off. For tests: the program never arms it.
void failFileStepAfter(FileFailure step, int n);

// Writes a file so that it never exists half-written: the bytes go into a
// temporary file beside the target, which replaces the target only after
// everything was written, flushed to disk and closed. On any failure, and
// when dropped without commit(), the temporary file is removed and an
// existing target is left as it was.
class AtomicFile {
  public:
    explicit AtomicFile(std::filesystem::path target);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    [[nodiscard]] bool create();
    [[nodiscard]] bool write(std::span<const uint8_t> bytes);
    [[nodiscard]] bool commit();
    void discard();

    FileFailure failure() const { return failure_; }
    int errorNumber() const { return error_; }  // errno of the failed step
    const std::filesystem::path& target() const { return target_; }

  private:
    bool fail(FileFailure step, int error);

    std::filesystem::path target_;
    std::filesystem::path temporary_;
    int fd_ = -1;
    FileFailure failure_ = FileFailure::None;
    int error_ = 0;
};

struct FileWriteResult {
    FileFailure failure = FileFailure::None;
    int errorNumber = 0;
    bool ok() const { return failure == FileFailure::None; }
    explicit operator bool() const { return ok(); }
};

// Saves `bytes` as the file `target`, all or nothing.
FileWriteResult writeFileAtomically(const std::filesystem::path& target,
                                    std::span<const uint8_t> bytes);

// Saves what `contents` writes, all or nothing. When `contents` returns false
// without a failed write, the result says Write with error number 0.
FileWriteResult writeFileAtomically(const std::filesystem::path& target,
                                    const std::function<bool(AtomicFile&)>& contents);

}  // namespace etalon
