#include "export/snapshot.h"

#include <algorithm>
#include <cctype>
#include <new>
#include <span>

#include "export/image_files.h"

namespace etalon {
namespace {

constexpr const char* kNotCreatedCaption = "About Bitmap";

std::string lowercase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool captured(const CapturedImage& image, const char* caption, MessageSink& sink) {
    if (image.width > 0 && image.height > 0 &&
        image.pixels.size() == static_cast<std::size_t>(image.width) * image.height) {
        return true;
    }
    sink.show("Проблемы при выполнении GetObject", caption, MessageIcon::None);
    return false;
}

bool saveBmp(const std::filesystem::path& path, const CapturedImage& image, MessageSink& sink) {
    // The surface holds 32-bit pixels; the file keeps that depth.
    const auto info = makeBitmapInfo({image.width, image.height, 1, 32}, sink);
    return info && writeBitmapFile(path, *info, image.rows(), sink);
}

bool savePng(SnapshotWindow& window, const std::filesystem::path& path, const CapturedImage& image,
             MessageSink& sink) {
    if (!captured(image, kPngCaption, sink)) return false;
    const auto png = window.encodePng(image);
    if (!png || png->empty()) {
        sink.show("GetDIBits ERROR!", kPngCaption, MessageIcon::None);
        return false;
    }
    return writeEncodedFile(path, *png, "ERROR while writing PNG data!", kPngCaption, sink);
}

bool saveSvg(SnapshotWindow& window, const std::filesystem::path& path, const CapturedImage& image,
             MessageSink& sink) {
    if (!captured(image, kSvgCaption, sink)) return false;
    const std::string svg = window.drawAsSvg();
    if (svg.empty()) {
        sink.show("GetDIBits ERROR!", kSvgCaption, MessageIcon::None);
        return false;
    }
    return writeEncodedFile(path,
                            std::span(reinterpret_cast<const uint8_t*>(svg.data()), svg.size()),
                            "ERROR while writing SVG data!", kSvgCaption, sink);
}

void save(SnapshotWindow& window, const SnapshotTarget& target, const CapturedImage& image,
          MessageSink& sink) {
    switch (*target.format) {
        case SnapshotFormat::Bmp:
            if (!saveBmp(target.path, image, sink))
                sink.show("Bitmap file is not created", kNotCreatedCaption, MessageIcon::None);
            return;
        case SnapshotFormat::Pcx:
            if (!writePcxFile(target.path, image.rows(), {255, 255, 255}, sink))
                sink.show("PCX file is not created", kNotCreatedCaption, MessageIcon::None);
            return;
        case SnapshotFormat::Png:
            if (!savePng(window, target.path, image, sink))
                sink.show("PNG file is not created", kNotCreatedCaption, MessageIcon::None);
            return;
        case SnapshotFormat::Svg:
            if (!saveSvg(window, target.path, image, sink))
                sink.show("SVG file is not created", kNotCreatedCaption, MessageIcon::None);
            return;
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
