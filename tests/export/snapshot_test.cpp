#include "export/snapshot.h"

#include <gtest/gtest.h>

#include "export/atomic_file.h"
#include "export/export_support.h"
#include "support/recording_sink.h"

namespace etalon::test {
namespace {

using Names = std::vector<std::string>;

// A window whose client area is a small picture, and a user who types `name`
// with the filter `filter` chosen.
struct ScriptedWindow final : SnapshotWindow {
    CapturedImage area{4, 3, std::vector<uint32_t>(12, 0xffffffff)};
    std::optional<SaveChoice> answer;
    std::vector<std::string> filters;
    int captures = 0;

    CapturedImage captureClientArea() override {
        ++captures;
        return area;
    }
    std::optional<SaveChoice> askSaveFile(const std::string& title,
                                          const std::vector<std::string>& offered) override {
        EXPECT_EQ(captures, 1) << "captured before the dialog";
        EXPECT_EQ(title, "Snapshot File Name");
        filters = offered;
        return answer;
    }
    std::optional<std::vector<uint8_t>> encodePng(const CapturedImage&) override {
        return std::vector<uint8_t>{0x89, 'P', 'N', 'G'};
    }
    std::string drawAsSvg() override { return "<svg/>"; }
};

std::vector<std::string> texts(const RecordingSink& sink) {
    std::vector<std::string> all;
    for (const auto& m : sink.messages)
        all.push_back(m.text);
    return all;
}

TEST(Snapshot, FormatFollowsTheEndingInAnyCaseOrTheChosenFilter) {
    ScratchFolder folder;
    struct Case {
        const char* typed;
        std::size_t filter;
        const char* file;
        std::vector<uint8_t> start;
    };
    const Case cases[] = {
        {"a.PCX", 0, "a.PCX", {10, 5, 1, 1}},
        {"b.bmp", 1, "b.bmp", {'B', 'M'}},
        {"c.Png", 0, "c.Png", {0x89, 'P', 'N', 'G'}},
        {"d.sVg", 2, "d.sVg", {'<', 's', 'v', 'g'}},
        {"e", 0, "e.bmp", {'B', 'M'}},
        {"f", 1, "f.pcx", {10, 5, 1, 1}},
        {"g", 2, "g.png", {0x89, 'P', 'N', 'G'}},
        {"h", 3, "h.svg", {'<', 's', 'v', 'g'}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        ScriptedWindow window;
        window.area.pixels[5] = 0xff0000ff;
        window.answer = SaveChoice{(folder / c.typed).string(), c.filter};
        RecordingSink sink;
        EXPECT_EQ(MakeSnapshot(window, sink), 1);
        EXPECT_TRUE(sink.empty());
        const std::vector<uint8_t> bytes = readBytes(folder / c.file);
        ASSERT_GE(bytes.size(), c.start.size());
        EXPECT_TRUE(std::equal(c.start.begin(), c.start.end(), bytes.begin()));
    }
    EXPECT_EQ(folder.names(),
              (Names{"a.PCX", "b.bmp", "c.Png", "d.sVg", "e.bmp", "f.pcx", "g.png", "h.svg"}));
}

TEST(Snapshot, OffersFourFiltersAndNamesTheSupportedEndingsForAnyOther) {
    ScratchFolder folder;
    ScriptedWindow window;
    window.answer = SaveChoice{(folder / "picture.jpg").string(), 0};
    RecordingSink sink;
    MakeSnapshot(window, sink);
    EXPECT_EQ(window.filters, (Names{"Bitmap Files (*.bmp)", "PCX Files (*.pcx)",
                                     "PNG Files (*.png)", "SVG Files (*.svg)"}));
    ASSERT_EQ(sink.messages.size(), 1u);
    for (const char* ending : {".bmp", ".pcx", ".png", ".svg", "picture.jpg"})
        EXPECT_NE(sink.last().text.find(ending), std::string::npos) << ending;
    EXPECT_TRUE(folder.names().empty());

    // Cancelled: nothing written, nothing said.
    window.answer.reset();
    window.captures = 0;
    RecordingSink quiet;
    MakeSnapshot(window, quiet);
    EXPECT_TRUE(quiet.empty());
    EXPECT_TRUE(folder.names().empty());
}

TEST(Snapshot, FailedSavesLeaveNoFileAndTheOldOneIntactAndSayWhy) {
    struct Case {
        const char* name;
        FileFailure step;
        Names said;  // "<file>" stands for the file's path
    };
    const Case cases[] = {
        {"old.bmp",
         FileFailure::Write,
         {"ERROR while writing BITMAPFILEHEADER!",
          "Bitmap file is not created\n<file>: No space left on device"}},
        {"old.pcx",
         FileFailure::Close,
         {"CloseHandle ERROR!", "PCX file is not created\n<file>: Input/output error"}},
        {"old.png",
         FileFailure::Write,
         {"The picture could not be written to <file>: No space left on device. Nothing was "
          "changed on disk."}},
        {"old.svg",
         FileFailure::Create,
         {"The picture could not be written to <file>: Permission denied. Nothing was changed "
          "on disk."}},
    };
    ScratchFolder folder;
    const std::vector<uint8_t> old{7, 7, 7};
    const auto withFile = [](Names said, const std::filesystem::path& file) {
        for (std::string& text : said) {
            if (const auto at = text.find("<file>"); at != std::string::npos)
                text.replace(at, 6, file.string());
        }
        return said;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeBytes(folder / c.name, old);
        ScriptedWindow window;
        window.answer = SaveChoice{(folder / c.name).string(), 0};
        failFileStepAfter(c.step, 1);
        RecordingSink sink;
        MakeSnapshot(window, sink);
        failFileStepAfter(FileFailure::None, 0);
        EXPECT_EQ(texts(sink), withFile(c.said, folder / c.name));
        EXPECT_EQ(readBytes(folder / c.name), old);
    }
    EXPECT_EQ(folder.names(), (Names{"old.bmp", "old.pcx", "old.png", "old.svg"}));

    // A folder that cannot take a file: the file and the system's reason,
    // under the caption of the format.
    const std::pair<const char*, const char*> missing[] = {{"shot.bmp", "About Bitmap"},
                                                           {"shot.pcx", "About Bitmap"},
                                                           {"shot.png", "About PNG"},
                                                           {"shot.svg", "About SVG"}};
    for (const auto& [name, caption] : missing) {
        SCOPED_TRACE(name);
        ScriptedWindow window;
        const std::filesystem::path file = folder / "missing" / name;
        window.answer = SaveChoice{file.string(), 0};
        RecordingSink sink;
        MakeSnapshot(window, sink);
        ASSERT_FALSE(sink.empty());
        EXPECT_EQ(sink.last().caption, caption);
        EXPECT_NE(sink.last().text.find(file.string() + ": No such file or directory"),
                  std::string::npos)
            << sink.last().text;
    }
    EXPECT_EQ(folder.names(), (Names{"old.bmp", "old.pcx", "old.png", "old.svg"}));
}

TEST(Snapshot, AnEmptyClientAreaIsReportedInEveryFormat) {
    ScratchFolder folder;
    const std::pair<const char*, Names> cases[] = {
        {"a.bmp", {"Проблемы при выполнении GetObject", "Bitmap file is not created\n"}},
        {"a.pcx", {"GetDIBits ERROR!", "PCX file is not created\n"}},
        {"a.png", {"Проблемы при выполнении GetObject", "PNG file is not created\n"}},
        {"a.svg", {"Проблемы при выполнении GetObject", "SVG file is not created\n"}},
    };
    for (const auto& [name, said] : cases) {
        ScriptedWindow window;
        window.area = {};
        window.answer = SaveChoice{(folder / name).string(), 0};
        RecordingSink sink;
        MakeSnapshot(window, sink);
        Names expected = said;
        expected.back() += (folder / name).string() + " was not written.";
        EXPECT_EQ(texts(sink), expected) << name;
    }
    EXPECT_TRUE(folder.names().empty());
}

}  // namespace
}  // namespace etalon::test
