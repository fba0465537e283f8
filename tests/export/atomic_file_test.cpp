#include "export/atomic_file.h"

#include <gtest/gtest.h>

#include "export/export_support.h"

namespace etalon::test {
namespace {

using Bytes = std::vector<uint8_t>;
using Names = std::vector<std::string>;

TEST(AtomicFile, WritesAndReplacesLeavingNothingElseBeside) {
    ScratchFolder folder;
    const Bytes first{1, 2, 3}, second(100000, 7);
    ASSERT_TRUE(writeFileAtomically(folder / "out.bin", first).ok());
    EXPECT_EQ(readBytes(folder / "out.bin"), first);

    FileWriteResult streamed = writeFileAtomically(folder / "out.bin", [&](AtomicFile& file) {
        // Not there until committed.
        return file.write(Bytes(second.begin(), second.begin() + 10)) &&
               readBytes(folder / "out.bin") == first &&
               file.write(Bytes(second.begin() + 10, second.end()));
    });
    EXPECT_TRUE(streamed.ok());
    EXPECT_EQ(readBytes(folder / "out.bin"), second);
    EXPECT_EQ(folder.names(), Names{"out.bin"});
}

TEST(AtomicFile, FailedStepsLeaveNoFileAndTheOldTargetIntact) {
    ScratchFolder folder;
    const Bytes old{9, 9, 9};
    writeBytes(folder / "keep.bin", old);
    writeBytes(folder / "plain-file", old);

    // A folder that does not exist, and one that is a file (unwritable even
    // for root).
    FileWriteResult missing = writeFileAtomically(folder / "no-such-folder" / "x.bin", old);
    EXPECT_EQ(missing.failure, FileFailure::Create);
    EXPECT_NE(missing.errorNumber, 0);
    EXPECT_EQ(writeFileAtomically(folder / "plain-file" / "x.bin", old).failure,
              FileFailure::Create);

    // Full disk on the second write, a failed close, a writer that gives up.
    failFileStepAfter(FileFailure::Write, 2);
    FileWriteResult full = writeFileAtomically(folder / "keep.bin", [](AtomicFile& file) {
        return file.write(Bytes{1}) && file.write(Bytes{2}) && file.write(Bytes{3});
    });
    EXPECT_EQ(full.failure, FileFailure::Write);
    failFileStepAfter(FileFailure::Close, 1);
    EXPECT_EQ(writeFileAtomically(folder / "keep.bin", Bytes{1}).failure, FileFailure::Close);
    EXPECT_EQ(writeFileAtomically(folder / "keep.bin", [](AtomicFile&) { return false; }).failure,
              FileFailure::Write);
    {
        AtomicFile dropped(folder / "keep.bin");
        ASSERT_TRUE(dropped.create());
        ASSERT_TRUE(dropped.write(Bytes{1}));
    }
    // Renaming over a folder fails at the last step.
    std::filesystem::create_directory(folder / "a-folder");
    std::filesystem::create_directory(folder / "a-folder" / "inside");
    EXPECT_EQ(writeFileAtomically(folder / "a-folder", old).failure, FileFailure::Close);

    EXPECT_EQ(readBytes(folder / "keep.bin"), old);
    EXPECT_EQ(folder.names(), (Names{"a-folder", "keep.bin", "plain-file"}));
}

}  // namespace
}  // namespace etalon::test
