#include "series/series_codes.h"

namespace etalon {

bool isKnownSeriesType(uint16_t seriesType) {
    switch (seriesType) {
        case kSeriesFixedWhole:
        case kSeriesFixedCutoff:
        case kSeriesUnfixedWhole:
        case kSeriesUnfixedCutoff:
        case kSeriesCreatedFixed:
        case kSeriesCreatedUnfixed:
        case kSeriesFixedTuples:
        case kSeriesUnfixedTuples:
            return true;
        default:
            return false;
    }
}

bool isCutoffSeries(uint16_t seriesType) {
    return seriesType == kSeriesFixedCutoff || seriesType == kSeriesUnfixedCutoff;
}

bool isUnfixedSeries(uint16_t seriesType) {
    return isUnfixedPulseSeries(seriesType) || seriesType == kSeriesUnfixedTuples;
}

bool isUnfixedPulseSeries(uint16_t seriesType) {
    return seriesType == kSeriesUnfixedWhole || seriesType == kSeriesUnfixedCutoff;
}

bool isTuplesSeries(uint16_t seriesType) {
    return seriesType == kSeriesFixedTuples || seriesType == kSeriesUnfixedTuples;
}

const char* seriesTypeReportText(uint16_t seriesType) {
    switch (seriesType) {
        case kSeriesFixedWhole:
            return "known number of whole pulses";
        case kSeriesFixedCutoff:
            return "known number of cut-off pulses";
        case kSeriesUnfixedWhole:
            return "unknown number of whole pulses";
        case kSeriesUnfixedCutoff:
            return "unknown number of cut-off pulses";
        case kSeriesFixedTuples:
            return "known number of whole pulses tuples";
        case kSeriesUnfixedTuples:
            return "unknown number of whole pulses tuples";
        default:
            return nullptr;
    }
}

}  // namespace etalon
