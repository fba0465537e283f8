#include "simulation/rest_error_names.h"

#include <gtest/gtest.h>

#include "processing/chains_header.h"

namespace etalon {
namespace {

// The two records name the same codes differently; a mix-up shows in every report.
TEST(ReportTexts, ErrorRecordAndResultsRecordDiffer) {
    EXPECT_STREQ(restErrorTaskName(8), "joint detection and estimation");
    EXPECT_STREQ(restErrorTaskName(16), "joint detection and estimation");
    EXPECT_STREQ(restErrorTaskName(32), "blind detection");
    EXPECT_STREQ(chainsTaskName(32), "detection");
    EXPECT_EQ(chainsTaskName(8), nullptr);
    EXPECT_EQ(restErrorTaskName(64), nullptr);
    for (uint16_t code : {1, 2, 4, 36, 40}) {
        EXPECT_STREQ(restErrorTaskName(code), chainsTaskName(code)) << code;
    }
    for (uint16_t type : {1, 2, 4, 8, 16, 32, 36, 40}) {
        const char* a = restErrorSeriesTypeName(type);
        const char* b = chainsSeriesTypeName(type);
        EXPECT_EQ(a == nullptr, b == nullptr) << type;
        if (a && b) {
            EXPECT_STREQ(a, b);
        }
    }
}

}  // namespace
}  // namespace etalon
