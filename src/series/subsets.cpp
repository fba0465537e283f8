#include "series/subsets.h"

#include <algorithm>
#include <numeric>

#include "base/allocation.h"

namespace etalon {

namespace {

void makeCurrent(std::span<const int16_t> row, uint16_t employment, uint16_t initPosition,
                 SeriesHeader& record) {
    const std::size_t copied =
        std::min<std::size_t>({row.size(), record.wMaxPulses, record.lpSelectedSubset.size()});
    std::copy_n(row.begin(), copied, record.lpSelectedSubset.begin());
    record.wSubsetLength = static_cast<uint16_t>(copied);
    record.wSubsetEmployment = employment;
    record.wSubsetInitPosition = initPosition;
}

}  // namespace

int setSelectedSubset(std::span<const int32_t> entries, uint16_t employment, uint16_t initPosition,
                      SeriesHeader* record) {
    if (!record) return 1;
    std::vector<int16_t> row(entries.size());
    std::transform(entries.begin(), entries.end(), row.begin(),
                   [](int32_t entry) { return static_cast<int16_t>(entry); });
    makeCurrent(row, employment, initPosition, *record);
    return 1;
}

int addSomeSelectedSubsetToSeriesHeader(MessageSink& sink, std::span<const int32_t> lengths,
                                        std::span<const std::span<const int32_t>> lists,
                                        uint16_t rows, uint16_t rowLength, int pick,
                                        uint16_t employment, uint16_t initPosition,
                                        SeriesHeader* record) {
    const int subsets = static_cast<int>(std::min(lengths.size(), lists.size()));
    if (subsets <= 0) return 0;
    if (!record) return 1;
    // The store must hold every subset given, whatever capacity was asked for.
    rows = std::max<uint16_t>(rows, static_cast<uint16_t>(subsets));
    for (int s = 0; s < subsets; ++s) {
        const int length = std::clamp<int32_t>(lengths[s], 0, static_cast<int>(lists[s].size()));
        rowLength = std::max<uint16_t>(rowLength, static_cast<uint16_t>(length));
    }

    if (record->wReservedSubsets < rows || record->wReservedSubsetLength < rowLength) {
        record->selectedSubsetSize.clear();
        record->selectedSubsetList.clear();
    }
    if (record->selectedSubsetSize.empty()) {
        if (!allocateBuffer(record->selectedSubsetSize, std::size_t{rows} * (rowLength + 1u))) {
            sink.showOutOfMemory("Нет памяти для lpSeriesHeader->selectedSubsetSize!",
                                 " addSomeSelectedSubsetToSeriesHeader ", MessageIcon::None);
            return 0;
        }
    }
    if (record->selectedSubsetList.empty()) {
        if (!allocateBuffer(record->selectedSubsetList, rows)) {
            record->selectedSubsetSize.clear();
            sink.showOutOfMemory("Нет памяти для lpSeriesHeader->selectedSubsetList!",
                                 " addSomeSelectedSubsetToSeriesHeader ", MessageIcon::None);
            return 0;
        }
        for (uint16_t s = 0; s < rows; ++s)
            record->selectedSubsetList[s] = rows + uint32_t{s} * rowLength;
        record->wReservedSubsets = rows;
        record->wReservedSubsetLength = rowLength;
    }

    record->wSubsets = static_cast<uint16_t>(subsets);
    for (int s = 0; s < subsets; ++s) {
        const int length = std::clamp<int32_t>(lengths[s], 0, static_cast<int>(lists[s].size()));
        record->selectedSubsetSize[s] = static_cast<int16_t>(length);
        const std::span<int16_t> row = record->storedSubsetRow(s);
        for (int i = 0; i < length; ++i)
            row[i] = static_cast<int16_t>(lists[s][i]);
    }

    pick -= 1;
    if (pick < 0 || pick >= subsets) pick = subsets - 1;
    makeCurrent(record->storedSubset(pick), employment, initPosition, *record);
    return 1;
}

int storePatterns(MessageSink& sink, const std::vector<std::vector<int32_t>>& patterns, int pick,
                  uint16_t employment, uint16_t initPosition, SeriesHeader* record) {
    std::vector<int32_t> lengths;
    std::vector<std::span<const int32_t>> lists;
    std::size_t longest = 0;
    for (const auto& p : patterns) {
        lengths.push_back(static_cast<int32_t>(p.size()));
        lists.emplace_back(p);
        longest = std::max(longest, p.size());
    }
    return addSomeSelectedSubsetToSeriesHeader(
        sink, lengths, lists, static_cast<uint16_t>(patterns.size()),
        static_cast<uint16_t>(longest), pick == 0 ? static_cast<int>(patterns.size()) : pick,
        employment, initPosition, record);
}

bool getRequiredList(MessageSink& sink, uint16_t count, std::vector<uint16_t>& list) {
    list.clear();
    if (!allocateBuffer(list, count)) {
        sink.showOutOfMemory("Нет памяти для newList!", " getRequiredList ", MessageIcon::None);
        return false;
    }
    std::iota(list.begin(), list.end(), uint16_t{1});
    return true;
}

}  // namespace etalon
