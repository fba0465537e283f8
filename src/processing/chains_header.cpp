#include "processing/chains_header.h"

#include "processing/task_codes.h"
#include "series/series_codes.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "base/allocation.h"

namespace etalon {

const char* chainsSeriesTypeName(SeriesCode seriesType) {
    return seriesTypeReportText(seriesType);
}

const char* chainsTaskName(TaskCode effectiveTask) {
    switch (effectiveTask) {
        case TaskCode::Detection:
        case TaskCode::BlindDetection:
        case TaskCode::TuplesDetection:
            return "detection";
        case TaskCode::Recognition:
        case TaskCode::TuplesRecognition:
            return "recognition";
        case TaskCode::Joint:
            return "joint detection and identification";
        default:
            return nullptr;
    }
}

namespace {

// printf-style append; the text grows as needed.
template <class... Args>
void appendFormat(std::string& text, const char* format, Args... args) {
    const int length = std::snprintf(nullptr, 0, format, args...);
    if (length <= 0) return;
    const std::size_t old = text.size();
    text.resize(old + static_cast<std::size_t>(length) + 1);
    std::snprintf(text.data() + old, static_cast<std::size_t>(length) + 1, format, args...);
    text.resize(old + static_cast<std::size_t>(length));
}

constexpr const char* kAllocationCaption = " getChainsHeader ";

bool regrow(MessageSink& sink, ChainsHeader& record, uint16_t chains, uint16_t pulses) {
    std::vector<int32_t> distances;
    if (!allocateBuffer(distances, std::size_t{2} * chains)) {
        sink.showOutOfMemory("Нет памяти для newChainsHeader->distance!", kAllocationCaption,
                             MessageIcon::None);
        return false;
    }
    std::vector<int16_t> lists;
    if (!allocateBuffer(lists, std::size_t{4} * chains * pulses)) {
        sink.showOutOfMemory("Нет памяти для newChainsHeader->pulsesList[0]!", kAllocationCaption,
                             MessageIcon::None);
        return false;
    }
    record.distanceBlock.swap(distances);
    record.listData.swap(lists);
    record.wMaxSize = chains;
    record.wMaxPulses = pulses;
    return true;
}

}  // namespace

std::unique_ptr<ChainsHeader> getChainsHeader(MessageSink& sink, uint16_t chains, uint16_t pulses,
                                              std::unique_ptr<ChainsHeader> record) {
    if (!record) {
        record = allocateRecord<ChainsHeader>();
        if (!record) {
            sink.showOutOfMemory("Нет памяти для newChainsHeader!", kAllocationCaption,
                                 MessageIcon::None);
            return nullptr;
        }
    }
    if (record->wMaxSize < chains || record->wMaxPulses < pulses) {
        if (!regrow(sink, *record, chains, pulses)) return nullptr;
    }
    record->wPretenders = 0;
    record->wQuanPulses = 0;
    record->wSeekingPulsesQuantity = 0;
    // The requested sizes are cleared; a larger kept block beyond them is not.
    const std::size_t distances = std::min(record->distanceBlock.size(), std::size_t{2} * chains);
    const std::size_t entries = std::min(record->listData.size(), std::size_t{4} * chains * pulses);
    std::fill_n(record->distanceBlock.begin(), distances, 0);
    std::fill_n(record->listData.begin(), entries, int16_t{0});
    return record;
}

int addToChainsHeader(MessageSink& sink, SeriesCode seriesType, TaskCode effectiveTask,
                      uint16_t makingLevel, uint16_t processingLevel, ChainsHeader* record) {
    if (!record) {
        sink.show("Не определен lpChainsHeader!", " addToChainsHeader ", MessageIcon::None);
        return 0;
    }
    record->wState = 2;
    record->wSeriesType = seriesType;
    record->lpSeriesTypeName = chainsSeriesTypeName(seriesType);
    record->wEffectiveTask = effectiveTask;
    record->lpTaskName = chainsTaskName(effectiveTask);
    record->wMakingLevel = makingLevel;
    record->wProcessingLevel = processingLevel;
    return 1;
}

int freeChainsHeader(std::unique_ptr<ChainsHeader>& record) {
    record.reset();
    return 1;
}

std::string chainsHeaderDump(const ChainsHeader& record) {
    std::string text = "ChainsHeader:\n";
    appendFormat(text, "wMaxSize: %u\n", unsigned{record.wMaxSize});
    appendFormat(text, "wPretenders: %u\n", unsigned{record.wPretenders});
    appendFormat(text, "wMaxPulses: %u\n", unsigned{record.wMaxPulses});
    appendFormat(text, "wQuanPulses: %u\n", unsigned{record.wQuanPulses});
    appendFormat(text, "wSeekingPulsesQuantity: %u\n", unsigned{record.wSeekingPulsesQuantity});
    for (std::size_t i = 0; i < record.wPretenders; ++i) {
        appendFormat(text, " %d.", static_cast<int>(i + 1));
        appendFormat(text, " %d", record.distance(i));
        const int pulses = std::clamp<int32_t>(record.pulsesQuantity(i), 0, record.wMaxPulses);
        for (int j = 0; j < pulses; ++j) {
            appendFormat(text, " %d (%d) [%d %d]", record.positionsList(i)[j],
                         record.pulsesList(i)[j], record.cutStartsList(i)[j],
                         record.cutEndsList(i)[j]);
        }
        text += "\n";
    }
    return text;
}

int aboutChainsHeader(MessageSink& sink, const ChainsHeader* record) {
    if (!record) return 0;
    return sink.show(chainsHeaderDump(*record), "aboutChainsHeader Info", MessageIcon::None);
}

void resetChains(ChainsHeader* record, uint16_t quantity, uint16_t pulses) {
    if (!record) return;
    record->wPretenders = 0;
    record->wQuanPulses = quantity;
    record->wSeekingPulsesQuantity = quantity;
    const std::size_t cleared = std::min(pulses, record->wMaxPulses);
    for (std::size_t chain = 0; chain < record->wMaxSize; ++chain) {
        record->distance(chain) = 0;
        std::fill_n(record->pulsesList(chain).begin(), cleared, int16_t{0});
        std::fill_n(record->positionsList(chain).begin(), cleared, int16_t{0});
        std::fill_n(record->cutStartsList(chain).begin(), cleared, int16_t{0});
        std::fill_n(record->cutEndsList(chain).begin(), cleared, int16_t{0});
    }
}

namespace {

void copyRow(ChainsHeader& record, std::size_t to, std::size_t from, std::size_t count) {
    std::copy_n(record.pulsesList(from).begin(), count, record.pulsesList(to).begin());
    std::copy_n(record.positionsList(from).begin(), count, record.positionsList(to).begin());
    std::copy_n(record.cutStartsList(from).begin(), count, record.cutStartsList(to).begin());
    std::copy_n(record.cutEndsList(from).begin(), count, record.cutEndsList(to).begin());
}

}  // namespace

void insertChain(ChainsHeader* record, int32_t criterion, int pulses, const ChainView& chain) {
    if (!record || record->wMaxSize == 0) return;
    const std::size_t capacity = record->wMaxSize;
    std::size_t k = 0;
    while (k < record->wPretenders && !(criterion < record->distance(k)))
        ++k;
    if (k < record->wPretenders) {
        std::size_t j = record->wPretenders == capacity ? capacity - 1 : record->wPretenders;
        for (; j > k; --j) {
            record->distance(j) = record->distance(j - 1);
            record->pulsesQuantity(j) = record->pulsesQuantity(j - 1);
            const std::size_t count =
                std::clamp<int32_t>(record->pulsesQuantity(j), 0, record->wMaxPulses);
            copyRow(*record, j, j - 1, count);
        }
    }
    if (k >= capacity) return;
    const std::size_t n = std::clamp<int>(pulses, 0, record->wMaxPulses);
    record->distance(k) = criterion;
    record->pulsesQuantity(k) = static_cast<int32_t>(n);
    std::copy_n(chain.etalons.begin(), std::min(n, chain.etalons.size()),
                record->pulsesList(k).begin());
    std::copy_n(chain.positions.begin(), std::min(n, chain.positions.size()),
                record->positionsList(k).begin());
    std::copy_n(chain.cutStarts.begin(), std::min(n, chain.cutStarts.size()),
                record->cutStartsList(k).begin());
    std::copy_n(chain.cutEnds.begin(), std::min(n, chain.cutEnds.size()),
                record->cutEndsList(k).begin());
    if (record->wPretenders < capacity) ++record->wPretenders;
}

}  // namespace etalon
