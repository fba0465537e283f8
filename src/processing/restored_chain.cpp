#include "processing/restored_chain.h"

#include <algorithm>

namespace etalon {

void TupleSegmentation::make(int n, int head, int period) {
    count = 0;
    if (n <= 0 || period <= 0) return;
    int last = std::min(head, n);
    int firstPulse = 1;
    for (;;) {
        first[count] = static_cast<int16_t>(firstPulse);
        second[count] = static_cast<int16_t>(last);
        ++count;
        if (last >= n) break;
        firstPulse = last + 1;
        last = std::min(last + period, n);
    }
}

void writeRestoredPulses(SeriesHeader& series, const RestoredChain& chain) {
    const std::size_t room =
        std::min({series.lpRestoredPositions.size(), series.lpRestoredEtalons.size(),
                  series.lpRestoredCutStarts.size(), series.lpRestoredCutEnds.size()});
    const std::size_t n = std::min(static_cast<std::size_t>(std::max(chain.n, 0)), room);
    series.wRestoredQuantity = static_cast<uint16_t>(n);
    std::copy_n(chain.positions.begin(), n, series.lpRestoredPositions.begin());
    std::copy_n(chain.etalons.begin(), n, series.lpRestoredEtalons.begin());
    std::copy_n(chain.cutStarts.begin(), n, series.lpRestoredCutStarts.begin());
    std::copy_n(chain.cutEnds.begin(), n, series.lpRestoredCutEnds.begin());
}

void writeRestoredTuples(SeriesHeader& series, const TupleSegmentation& tuples) {
    const std::size_t room =
        std::min(series.lpRestoredTupleFirst.size(), series.lpRestoredTupleSecond.size());
    const std::size_t n = std::min(static_cast<std::size_t>(std::max(tuples.count, 0)), room);
    series.wRestoredTuples = static_cast<int16_t>(n);
    std::copy_n(tuples.first.begin(), n, series.lpRestoredTupleFirst.begin());
    std::copy_n(tuples.second.begin(), n, series.lpRestoredTupleSecond.begin());
}

bool becomesBest(const ChainsHeader* chains, int32_t criterion) {
    if (!chains || chains->wMaxSize == 0) return false;
    return chains->wPretenders == 0 || criterion < chains->distance(0);
}

void reportNoMemory(MessageSink& sink, const char* text) {
    sink.showOutOfMemory(text, "", MessageIcon::None);
}

}  // namespace etalon
