#include "export/image_files.h"

#include <span>

#include "export/atomic_file.h"
#include "export/pcx_encoder.h"

namespace etalon {

namespace {

// A failure before any file step: nothing to tell of the file system.
FileWriteResult report(MessageSink& sink, const char* text, const char* caption) {
    sink.show(text, caption, MessageIcon::None);
    return {FileFailure::Write, 0};
}

// The create and close failures read the same in both formats.
FileWriteResult reportFileFailure(MessageSink& sink, const AtomicFile& file, const char* writeText,
                                  const char* caption) {
    switch (file.failure()) {
        case FileFailure::Create:
            report(sink, "CreateFile ERROR!", caption);
            break;
        case FileFailure::Close:
            report(sink, "CloseHandle ERROR!", caption);
            break;
        default:
            report(sink, writeText, caption);
            break;
    }
    return {file.failure(), file.errorNumber()};
}

}  // namespace

std::optional<BmpInfo> makeBitmapInfo(const BitmapDescription& bitmap, MessageSink& sink) {
    BmpInfo info;
    switch (buildBmpInfo(bitmap, info)) {
        case BmpInfoStatus::Built:
            return info;
        case BmpInfoStatus::BadDescription:
            report(sink, "Проблемы при выполнении GetObject", kBitmapCaption);
            return std::nullopt;
        case BmpInfoStatus::NoMemory:
            report(sink, "Нет памяти для BITMAPINFO", kBitmapCaption);
            return std::nullopt;
    }
    return std::nullopt;
}

FileWriteResult writeBitmapFile(const std::filesystem::path& path, const BmpInfo& info,
                                const ImageRows& rows, MessageSink& sink) {
    BmpFile bmp;
    switch (encodeBmp(info, rows, {}, bmp)) {
        case BmpEncodeStatus::Encoded:
            break;
        case BmpEncodeStatus::BadRows:
            return report(sink, "GetDIBits ERROR!", kBitmapCaption);
        case BmpEncodeStatus::NoMemory:
            return report(sink, "GlobalAlloc ERROR!", kBitmapCaption);
    }
    AtomicFile file(path);
    if (!file.create()) return reportFileFailure(sink, file, "", kBitmapCaption);
    if (!file.write(bmp.fileHeader)) {
        return reportFileFailure(sink, file, "ERROR while writing BITMAPFILEHEADER!",
                                 kBitmapCaption);
    }
    if (!file.write(bmp.info)) {
        return reportFileFailure(sink, file, "ERROR while writing BITMAPINFOHEADER!",
                                 kBitmapCaption);
    }
    if (!file.write(bmp.bits)) {
        return reportFileFailure(sink, file, "ERROR while writing bitmap bits!", kBitmapCaption);
    }
    if (!file.commit()) return reportFileFailure(sink, file, "", kBitmapCaption);
    return {};
}

FileWriteResult writePcxFile(const std::filesystem::path& path, const ImageRows& rows,
                             RgbColour background, MessageSink& sink) {
    PcxRowEncoder encoder;
    switch (encoder.prepare(rows, background)) {
        case PcxStatus::Ready:
            break;
        case PcxStatus::BadRows:
            return report(sink, "GetDIBits ERROR!", kPcxCaption);
        case PcxStatus::NoFlagRow:
            return report(sink, "Нет памяти для буфера строки!", kPcxCaption);
        case PcxStatus::NoCodeRow:
            return report(sink, "Нет памяти для кодов строки!", kPcxCaption);
    }
    AtomicFile file(path);
    if (!file.create()) return reportFileFailure(sink, file, "", kPcxCaption);
    if (!file.write(makePcxHeader(rows.width, rows.height, background))) {
        return reportFileFailure(sink, file, "ERROR while writing PCXHEADER!", kPcxCaption);
    }
    for (int32_t y = 0; y < rows.height; ++y) {
        if (!file.write(encoder.encodeRow(y))) {
            return reportFileFailure(sink, file, "ERROR while writing PCX codes!", kPcxCaption);
        }
    }
    if (!file.commit()) return reportFileFailure(sink, file, "", kPcxCaption);
    return {};
}

}  // namespace etalon
