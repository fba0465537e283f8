#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "base/message_sink.h"
#include "processing/task_codes.h"

namespace etalon {

// The best candidate chains of the last processing run, ranked by criterion
// (smallest first), with the description of the run that produced them.
struct ChainsHeader {
    uint16_t wMaxSize = 0;     // chains the record can hold (C)
    uint16_t wPretenders = 0;  // ranked chains held
    uint16_t wMaxPulses = 0;   // pulses each chain can hold (P)
    uint16_t wQuanPulses = 0;
    uint16_t wSeekingPulsesQuantity = 0;
    uint16_t wState = 0;
    SeriesCode wSeriesType{};
    TaskCode wEffectiveTask{};
    const char* lpTaskName = nullptr;
    const char* lpSeriesTypeName = nullptr;
    uint16_t wMakingLevel = 0;
    uint16_t wProcessingLevel = 0;

    // 2C integers: the criteria, then the pulse counts.
    std::vector<int32_t> distanceBlock;
    // 4 C P entries: etalon numbers, positions, cut starts, cut ends, each C rows of P.
    std::vector<int16_t> listData;
    bool operator==(const ChainsHeader&) const = default;

    int32_t& distance(std::size_t chain) { return distanceBlock[chain]; }
    int32_t distance(std::size_t chain) const { return distanceBlock[chain]; }
    int32_t& pulsesQuantity(std::size_t chain) { return distanceBlock[wMaxSize + chain]; }
    int32_t pulsesQuantity(std::size_t chain) const { return distanceBlock[wMaxSize + chain]; }

    std::span<int16_t> pulsesList(std::size_t chain) { return row(0, chain); }
    std::span<int16_t> positionsList(std::size_t chain) { return row(1, chain); }
    std::span<int16_t> cutStartsList(std::size_t chain) { return row(2, chain); }
    std::span<int16_t> cutEndsList(std::size_t chain) { return row(3, chain); }
    std::span<const int16_t> pulsesList(std::size_t chain) const { return row(0, chain); }
    std::span<const int16_t> positionsList(std::size_t chain) const { return row(1, chain); }
    std::span<const int16_t> cutStartsList(std::size_t chain) const { return row(2, chain); }
    std::span<const int16_t> cutEndsList(std::size_t chain) const { return row(3, chain); }

  private:
    std::span<int16_t> row(std::size_t list, std::size_t chain) {
        return {listData.data() + (list * wMaxSize + chain) * wMaxPulses, wMaxPulses};
    }
    std::span<const int16_t> row(std::size_t list, std::size_t chain) const {
        return {listData.data() + (list * wMaxSize + chain) * wMaxPulses, wMaxPulses};
    }
};

// One candidate chain as the procedures hand it over: n pulses, in increasing
// position order.
struct ChainView {
    std::span<const int16_t> etalons;
    std::span<const int16_t> positions;
    std::span<const int16_t> cutStarts;
    std::span<const int16_t> cutEnds;
};

// Texts the record stores for a series type and an effective task; null for
// codes without a text.
const char* chainsSeriesTypeName(SeriesCode seriesType);
const char* chainsTaskName(TaskCode effectiveTask);

// Creates the record (given none) or grows it to at least C chains of P
// pulses, then empties it. Returns null after a reported failure, in which
// case the record passed in is gone too.
std::unique_ptr<ChainsHeader> getChainsHeader(MessageSink& sink, uint16_t chains, uint16_t pulses,
                                              std::unique_ptr<ChainsHeader> record);

// Records which run produced the chains. Returns 1, or 0 (reported) without a record.
int addToChainsHeader(MessageSink& sink, SeriesCode seriesType, TaskCode effectiveTask,
                      uint16_t makingLevel, uint16_t processingLevel, ChainsHeader* record);

// Releases the record; a null record is accepted. Returns 1.
int freeChainsHeader(std::unique_ptr<ChainsHeader>& record);

// The debug dump of the record, and the message box showing it.
std::string chainsHeaderDump(const ChainsHeader& record);
int aboutChainsHeader(MessageSink& sink, const ChainsHeader* record);

// Common start of a processing run: no chains held, Q pulses sought, the
// criteria and the first `pulses` entries of every row zeroed.
void resetChains(ChainsHeader* record, uint16_t quantity, uint16_t pulses);

// Ranked insertion: after every held chain with a criterion not above d;
// the last chain drops out of a full record. Chains longer than the record's
// rows are cut to them.
void insertChain(ChainsHeader* record, int32_t criterion, int pulses, const ChainView& chain);

}  // namespace etalon
