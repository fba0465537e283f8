#include "export/snapshot.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <new>
#include <span>

#include "export/atomic_file.h"
#include "export/image_files.h"

namespace etalon {
namespace {

constexpr const char* kNotCreatedCaption = "About Bitmap";

std::string lowercase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

constexpr const char* kNoImageText = "Проблемы при выполнении GetObject";

bool captured(const CapturedImage& image) {
    return image.width > 0 && image.height > 0 &&
           image.pixels.size() == static_cast<std::size_t>(image.width) * image.height;
}

// Why a file step failed, in the system's words.
std::string reason(const FileWriteResult& result) {
    return result.errorNumber ? std::strerror(result.errorNumber) : "the write failed";
}

// The line that follows "... file is not created": the file, and why when
// the system said.
std::string fileLine(const std::filesystem::path& path, const FileWriteResult& result) {
    if (result.failure == FileFailure::Write && result.errorNumber == 0)
        return path.string() + " was not written.";
    return path.string() + ": " + reason(result);
}

FileWriteResult saveBmp(const std::filesystem::path& path, const CapturedImage& image,
                        MessageSink& sink) {
    // The surface holds 32-bit pixels; the file keeps that depth.
    const auto info = makeBitmapInfo({image.width, image.height, 1, 32}, sink);
    if (!info) return {FileFailure::Write, 0};
    return writeBitmapFile(path, *info, image.rows(), sink);
}

// PNG and SVG are our own formats: one message names the file and the reason.
void saveEncoded(const std::filesystem::path& path, std::span<const uint8_t> bytes,
                 const char* caption, MessageSink& sink) {
    const FileWriteResult written = writeFileAtomically(path, bytes);
    if (written.ok()) return;
    sink.show("The picture could not be written to " + path.string() + ": " + reason(written) +
                  ". Nothing was changed on disk.",
              caption, MessageIcon::Warning);
}

// A PNG or SVG picture that could not be made: what failed, then the file.
void notMade(const char* what, const char* format, const std::filesystem::path& path,
             const char* caption, MessageSink& sink) {
    sink.show(what, caption, MessageIcon::None);
    sink.show(std::string(format) + " file is not created\n" + path.string() + " was not written.",
              caption, MessageIcon::None);
}

void savePng(SnapshotWindow& window, const std::filesystem::path& path, const CapturedImage& image,
             MessageSink& sink) {
    if (!captured(image)) return notMade(kNoImageText, "PNG", path, kPngCaption, sink);
    const auto png = window.encodePng(image);
    if (!png || png->empty()) return notMade("GetDIBits ERROR!", "PNG", path, kPngCaption, sink);
    saveEncoded(path, *png, kPngCaption, sink);
}

void saveSvg(SnapshotWindow& window, const std::filesystem::path& path, const CapturedImage& image,
             MessageSink& sink) {
    if (!captured(image)) return notMade(kNoImageText, "SVG", path, kSvgCaption, sink);
    const std::string svg = window.drawAsSvg();
    if (svg.empty()) return notMade("GetDIBits ERROR!", "SVG", path, kSvgCaption, sink);
    saveEncoded(path, std::span(reinterpret_cast<const uint8_t*>(svg.data()), svg.size()),
                kSvgCaption, sink);
}

void save(SnapshotWindow& window, const SnapshotTarget& target, const CapturedImage& image,
          MessageSink& sink) {
    const auto notCreated = [&](const char* text, const FileWriteResult& result) {
        sink.show(std::string(text) + "\n" + fileLine(target.path, result), kNotCreatedCaption,
                  MessageIcon::None);
    };
    switch (*target.format) {
        case SnapshotFormat::Bmp: {
            const FileWriteResult written = saveBmp(target.path, image, sink);
            if (!written) notCreated("Bitmap file is not created", written);
            return;
        }
        case SnapshotFormat::Pcx: {
            const FileWriteResult written =
                writePcxFile(target.path, image.rows(), {255, 255, 255}, sink);
            if (!written) notCreated("PCX file is not created", written);
            return;
        }
        case SnapshotFormat::Png:
            return savePng(window, target.path, image, sink);
        case SnapshotFormat::Svg:
            return saveSvg(window, target.path, image, sink);
    }
}

}  // namespace

SnapshotTarget snapshotTarget(const SaveChoice& choice) {
    SnapshotTarget target{choice.name, std::nullopt};
    if (!target.path.has_extension()) {
        const std::size_t chosen = choice.filter < kSnapshotFilters.size() ? choice.filter : 0;
        target.path += std::string(".") + kSnapshotFilters[chosen].ending;
    }
    const std::string ending = lowercase(target.path.extension().string());
    for (const SnapshotFilter& f : kSnapshotFilters) {
        if (ending == std::string(".") + f.ending) target.format = f.format;
    }
    return target;
}

int MakeSnapshot(SnapshotWindow& window, MessageSink& sink) {
    try {
        // Taken before the dialog opens: the pixels shown when the command came.
        const CapturedImage image = window.captureClientArea();
        std::vector<std::string> filters;
        for (const SnapshotFilter& f : kSnapshotFilters)
            filters.emplace_back(f.filter);
        const auto choice = window.askSaveFile(kSnapshotTitle, filters);
        if (!choice || choice->name.empty()) return 1;
        const SnapshotTarget target = snapshotTarget(*choice);
        if (!target.format) {
            sink.show("Pictures are saved as .bmp, .pcx, .png or .svg files; \"" +
                          target.path.filename().string() +
                          "\" has none of these endings. Nothing was written.",
                      kNotCreatedCaption, MessageIcon::Warning);
            return 1;
        }
        save(window, target, image, sink);
    } catch (const std::bad_alloc&) {
        sink.show("GlobalAlloc ERROR!", kNotCreatedCaption, MessageIcon::None);
    }
    return 1;
}

}  // namespace etalon
