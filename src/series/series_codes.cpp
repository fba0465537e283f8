#include "series/series_codes.h"

#include <ostream>

namespace etalon {

std::ostream& operator<<(std::ostream& out, SeriesCode seriesType) {
    return out << codeNumber(seriesType);
}

bool isKnownSeriesType(SeriesCode seriesType) {
    switch (seriesType) {
        case SeriesCode::FixedWhole:
        case SeriesCode::FixedCutoff:
        case SeriesCode::UnfixedWhole:
        case SeriesCode::UnfixedCutoff:
        case SeriesCode::CreatedFixed:
        case SeriesCode::CreatedUnfixed:
        case SeriesCode::FixedTuples:
        case SeriesCode::UnfixedTuples:
            return true;
        default:
            return false;
    }
}

bool isCutoffSeries(SeriesCode seriesType) {
    return seriesType == SeriesCode::FixedCutoff || seriesType == SeriesCode::UnfixedCutoff;
}

bool isUnfixedSeries(SeriesCode seriesType) {
    return isUnfixedPulseSeries(seriesType) || seriesType == SeriesCode::UnfixedTuples;
}

bool isUnfixedPulseSeries(SeriesCode seriesType) {
    return seriesType == SeriesCode::UnfixedWhole || seriesType == SeriesCode::UnfixedCutoff;
}

bool isTuplesSeries(SeriesCode seriesType) {
    return seriesType == SeriesCode::FixedTuples || seriesType == SeriesCode::UnfixedTuples;
}

const char* seriesTypeReportText(SeriesCode seriesType) {
    switch (seriesType) {
        case SeriesCode::FixedWhole:
            return "known number of whole pulses";
        case SeriesCode::FixedCutoff:
            return "known number of cut-off pulses";
        case SeriesCode::UnfixedWhole:
            return "unknown number of whole pulses";
        case SeriesCode::UnfixedCutoff:
            return "unknown number of cut-off pulses";
        case SeriesCode::FixedTuples:
            return "known number of whole pulses tuples";
        case SeriesCode::UnfixedTuples:
            return "unknown number of whole pulses tuples";
        default:
            return nullptr;
    }
}

}  // namespace etalon
