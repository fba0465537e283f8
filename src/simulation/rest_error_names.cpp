#include "simulation/rest_error_names.h"

namespace etalon {

const char* restErrorTaskName(uint16_t effectiveTask) {
    switch (effectiveTask) {
        case 1:
        case 36:
            return "detection";
        case 2:
        case 40:
            return "recognition";
        case 4:
            return "joint detection and identification";
        case 8:
        case 16:
            return "joint detection and estimation";
        case 32:
            return "blind detection";
        default:
            return nullptr;
    }
}

const char* restErrorSeriesTypeName(uint16_t seriesType) {
    switch (seriesType) {
        case 1:
            return "known number of whole pulses";
        case 2:
            return "known number of cut-off pulses";
        case 4:
            return "unknown number of whole pulses";
        case 8:
            return "unknown number of cut-off pulses";
        case 36:
            return "known number of whole pulses tuples";
        case 40:
            return "unknown number of whole pulses tuples";
        default:
            return nullptr;
    }
}

}  // namespace etalon
