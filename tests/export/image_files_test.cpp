#include "export/image_files.h"

#include <gtest/gtest.h>

#include "base/allocation.h"
#include "export/atomic_file.h"
#include "export/export_support.h"
#include "support/recording_sink.h"

namespace etalon::test {
namespace {

using Names = std::vector<std::string>;

// Every failure shows its own text once and leaves the folder as it was.
TEST(ImageFiles, EachFailureShowsItsTextAndLeavesTheOldFile) {
    struct Case {
        const char* format;
        FileFailure step;  // None: an allocation fails
        int nth;
        const char* text;
    };
    const Case cases[] = {
        {"bmp", FileFailure::None, 1, "GlobalAlloc ERROR!"},
        {"bmp", FileFailure::Create, 1, "CreateFile ERROR!"},
        {"bmp", FileFailure::Write, 1, "ERROR while writing BITMAPFILEHEADER!"},
        {"bmp", FileFailure::Write, 2, "ERROR while writing BITMAPINFOHEADER!"},
        {"bmp", FileFailure::Write, 3, "ERROR while writing bitmap bits!"},
        {"bmp", FileFailure::Close, 1, "CloseHandle ERROR!"},
        {"pcx", FileFailure::None, 1, "Нет памяти для буфера строки!"},
        {"pcx", FileFailure::None, 2, "Нет памяти для кодов строки!"},
        {"pcx", FileFailure::Create, 1, "CreateFile ERROR!"},
        {"pcx", FileFailure::Write, 1, "ERROR while writing PCXHEADER!"},
        {"pcx", FileFailure::Write, 4, "ERROR while writing PCX codes!"},
        {"pcx", FileFailure::Close, 1, "CloseHandle ERROR!"},
    };
    ScratchFolder folder;
    const std::vector<uint8_t> old{1, 2, 3};
    Picture picture(20, 5);
    picture.at(3, 3) = 0xff000000;
    RecordingSink sink;
    std::optional<BmpInfo> info = makeBitmapInfo({20, 5, 1, 32}, sink);
    ASSERT_TRUE(info);

    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const std::string pcx = c.format;
        const auto target = folder / ("old." + pcx);
        writeBytes(target, old);
        if (c.step == FileFailure::None) {
            failAllocationAfter(c.nth);
        } else {
            failFileStepAfter(c.step, c.nth);
        }
        RecordingSink failures;
        const bool written =
            pcx == "pcx" ? writePcxFile(target, picture.rows(), {255, 255, 255}, failures).ok()
                         : writeBitmapFile(target, *info, picture.rows(), failures).ok();
        failAllocationAfter(0);
        failFileStepAfter(FileFailure::None, 0);
        EXPECT_FALSE(written);
        ASSERT_EQ(failures.messages.size(), 1u);
        EXPECT_EQ(failures.last().text, c.text);
        EXPECT_EQ(failures.last().caption, pcx == "pcx" ? "About PCX" : "About Bitmap");
        EXPECT_EQ(readBytes(target), old);
    }
    EXPECT_EQ(folder.names(), (Names{"old.bmp", "old.pcx"}));

    // And without a failure both are written.
    EXPECT_TRUE(writeBitmapFile(folder / "old.bmp", *info, picture.rows(), sink));
    EXPECT_TRUE(writePcxFile(folder / "old.pcx", picture.rows(), {255, 255, 255}, sink));
    EXPECT_EQ(readBytes(folder / "old.bmp").size(), 54u + 3 * 5 * 32);
    EXPECT_EQ(readBytes(folder / "old.pcx").size(), 128u + 4 * 2 + 4);
    EXPECT_TRUE(sink.empty());
}

TEST(ImageFiles, PicturesThatCannotBeReadAreReported) {
    RecordingSink sink;
    EXPECT_FALSE(makeBitmapInfo({0, 5, 1, 32}, sink));
    failAllocationAfter(1);
    EXPECT_FALSE(makeBitmapInfo({20, 5, 1, 32}, sink));
    std::optional<BmpInfo> info = makeBitmapInfo({20, 5, 1, 32}, sink);
    ASSERT_TRUE(info);
    EXPECT_FALSE(writeBitmapFile("unused.bmp", *info, Picture(20, 4).rows(), sink));
    EXPECT_FALSE(writePcxFile("unused.pcx", {}, {}, sink));
    std::vector<std::string> texts;
    for (const auto& m : sink.messages)
        texts.push_back(m.text);
    EXPECT_EQ(texts, (std::vector<std::string>{"Проблемы при выполнении GetObject",
                                               "Нет памяти для BITMAPINFO", "GetDIBits ERROR!",
                                               "GetDIBits ERROR!"}));
}

}  // namespace
}  // namespace etalon::test
