#include "simulation/rest_error_header.h"

#include <algorithm>
#include <cstdio>
#include <limits>

#include "base/allocation.h"
#include "simulation/rest_error_names.h"

namespace etalon {

namespace {

constexpr std::size_t kErrorArrays = 6;
constexpr const char* kGetCaption = " getRestErrHeader ";

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

// Lays the six arrays out for the grid in use; the blocks are known to be
// large enough for it.
void layRows(RestErrorHeader& record) {
    const std::size_t p = record.wVariousPulses;
    const std::size_t v = record.wNoiseLevels;
    for (std::size_t array = 0; array < kErrorArrays; ++array) {
        for (std::size_t r = 0; r < v; ++r)
            record.rowStarts[array * v + r] = array * p * v + r * p;
    }
}

void clearErrors(RestErrorHeader& record) {
    const std::size_t cells =
        kErrorArrays * std::size_t{record.wVariousPulses} * record.wNoiseLevels;
    std::fill_n(record.errorCells.begin(), cells, 0u);
}

// Grows the blocks that cannot hold the grid. Each of the two value lists
// keeps its own capacity, so any grid within wReservedPulses by
// wReservedLevels fits the blocks.
bool makeBlocksFit(MessageSink& sink, RestErrorHeader& record, uint16_t pulses, uint16_t levels) {
    if (record.wReservedPulses < pulses || record.wReservedLevels < levels) {
        // Never shrinks either side, so a later grid of the old shape still fits.
        const uint16_t reservedPulses = std::max(record.wReservedPulses, pulses);
        const uint16_t reservedLevels = std::max(record.wReservedLevels, levels);
        if (!allocateBuffer(record.valuesBlock, std::size_t{reservedPulses} + reservedLevels)) {
            sink.showOutOfMemory("Нет памяти для newRestErrorHeader->lpNoiseLevel!", kGetCaption,
                                 MessageIcon::None);
            return false;
        }
        record.wReservedPulses = reservedPulses;
        record.wReservedLevels = reservedLevels;
    }
    const std::size_t rows = kErrorArrays * std::size_t{record.wReservedLevels};
    if (record.rowStarts.size() < rows && !allocateBuffer(record.rowStarts, rows)) {
        sink.showOutOfMemory("Нет памяти для newRestErrorHeader->lpErrors!", kGetCaption,
                             MessageIcon::None);
        return false;
    }
    const std::size_t cells = rows * record.wReservedPulses;
    if (record.errorCells.size() < cells && !allocateBuffer(record.errorCells, cells)) {
        sink.showOutOfMemory("Нет памяти для newRestErrorHeader->lpErrors[]!", kGetCaption,
                             MessageIcon::None);
        return false;
    }
    return true;
}

}  // namespace

std::unique_ptr<RestErrorHeader> getRestErrHeader(MessageSink& sink, uint16_t pulses,
                                                  uint16_t levels, uint32_t repeats,
                                                  std::unique_ptr<RestErrorHeader> record) {
    if (!record) {
        record = allocateRecord<RestErrorHeader>();
        if (!record) {
            sink.showOutOfMemory("Нет памяти для newRestErrorHeader!", kGetCaption,
                                 MessageIcon::None);
            return nullptr;
        }
    }
    if (!makeBlocksFit(sink, *record, pulses, levels)) return nullptr;
    record->wNoiseLevels = levels;
    record->wVariousPulses = pulses;
    record->repeats = repeats;
    std::fill(record->valuesBlock.begin(), record->valuesBlock.end(), int16_t{0});
    layRows(*record);
    clearErrors(*record);
    return record;
}

int initRestErrHeader(MessageSink& sink, uint16_t pulses, uint16_t firstPulses, uint16_t pulsesStep,
                      uint16_t levels, uint16_t firstLevel, uint16_t levelStep, uint32_t repeats,
                      RestErrorHeader* record) {
    constexpr const char* kCaption = " initRestErrHeader ";
    if (!record) {
        sink.show("Не определен lpErrorHeader!", kCaption, MessageIcon::None);
        return 0;
    }
    if (pulses > record->wReservedPulses) {
        sink.show("Неверно задан wVariousPulsesNumber!", kCaption, MessageIcon::None);
        return 0;
    }
    if (levels > record->wReservedLevels) {
        sink.show("Неверно задан wNoiseLevels!", kCaption, MessageIcon::None);
        return 0;
    }
    record->wVariousPulses = pulses;
    record->wNoiseLevels = levels;
    record->repeats = repeats;
    record->ifComplete = 0;
    // The grid values are 16-bit signed; the conversion wraps as they do.
    for (int32_t p = 0; p < pulses; ++p)
        record->wPulseValues()[p] = static_cast<int16_t>(firstPulses + p * int32_t{pulsesStep});
    for (int32_t v = 0; v < levels; ++v)
        record->lpNoiseLevels()[v] = static_cast<int16_t>(firstLevel + v * int32_t{levelStep});
    // The rows follow the grid's shape, which may differ from the one the
    // record was sized for; every array of the new grid starts at zero.
    layRows(*record);
    clearErrors(*record);
    return 1;
}

int addInitRestErrHeader(MessageSink& sink, SeriesCode seriesType, TaskCode effectiveTask,
                         uint16_t makingLevel, uint16_t processingLevel, RestErrorHeader* record) {
    if (!record) {
        sink.show("Не определен lpErrorHeader!", " addInitRestErrHeader ", MessageIcon::None);
        return 0;
    }
    record->wState = 2;
    record->wSeriesType = seriesType;
    record->lpSeriesTypeName = restErrorSeriesTypeName(seriesType);
    record->wEffectiveTask = effectiveTask;
    record->lpTaskName = restErrorTaskName(effectiveTask);
    record->wMakingLevel = makingLevel;
    record->wProcessingLevel = static_cast<int16_t>(processingLevel);
    return 1;
}

void freeRestErrHeader(std::unique_ptr<RestErrorHeader>& record) {
    record.reset();
}

std::string restErrHeaderDump(const RestErrorHeader& record) {
    std::string text = "RestErrorHeader:\n";
    appendFormat(text, "wReservedPulses: %u\n", unsigned{record.wReservedPulses});
    appendFormat(text, "wVariousPulses: %u\n", unsigned{record.wVariousPulses});
    appendFormat(text, "wReservedLevels: %u\n", unsigned{record.wReservedLevels});
    appendFormat(text, "wNoiseLevels: %u\n", unsigned{record.wNoiseLevels});
    appendFormat(text, "repeats: %u\n", unsigned{record.repeats});
    appendFormat(text, "wState: %d\n", int{record.wState});
    appendFormat(text, "wSeriesType: %u (%s)\n", static_cast<unsigned>(record.wSeriesType),
                 record.lpSeriesTypeName ? record.lpSeriesTypeName : "");
    appendFormat(text, "wEffectiveTask: %u (%s)\n", static_cast<unsigned>(record.wEffectiveTask),
                 record.lpTaskName ? record.lpTaskName : "");
    appendFormat(text, "wMakingLevel: %u\n", unsigned{record.wMakingLevel});
    appendFormat(text, "wProcessingLevel: %d\n", int{record.wProcessingLevel});
    appendFormat(text, "ifComplete: %u\n", unsigned{record.ifComplete});
    text += "wPulseValues:";
    for (int16_t count : record.wPulseValues())
        appendFormat(text, " %d", int{count});
    text += "\n";
    // One line per noise level: restored error (detection error) [recognition errors].
    for (std::size_t v = 0; v < record.wNoiseLevels; ++v) {
        appendFormat(text, "%d:", int{record.lpNoiseLevels()[v]});
        for (std::size_t p = 0; p < record.wVariousPulses; ++p) {
            appendFormat(text, " %u (%u) [%u]", unsigned{record.lpErrors(v)[p]},
                         unsigned{record.lpDetectionErrors(v)[p]},
                         unsigned{record.lpRecognitionErrors(v)[p]});
        }
        text += "\n";
    }
    return text;
}

int aboutRestErrHeader(MessageSink& sink, const RestErrorHeader* record) {
    if (!record) return 0;
    return sink.show(restErrHeaderDump(*record), "aboutRestErrHeader Info", MessageIcon::None);
}

PulseGrid pulseGridFor(uint16_t minPulses, uint16_t maxPulses, uint16_t increment) {
    PulseGrid grid;
    grid.increment = increment == 0 ? uint16_t{1} : increment;
    if (maxPulses < minPulses) return grid;
    const int32_t steps = (maxPulses - minPulses) / grid.increment + 1;
    grid.steps =
        static_cast<uint16_t>(std::min<int32_t>(steps, std::numeric_limits<uint16_t>::max()));
    return grid;
}

}  // namespace etalon
