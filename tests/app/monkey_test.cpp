// The monkey at the commands and presses (Qt-free, so the sanitizer build
// runs it too). ETALON_MONKEY_EVENTS and ETALON_MONKEY_SEED set a longer or
// another run.
#include <gtest/gtest.h>

#include "support/monkey.h"

namespace etalon {
namespace {

TEST(Monkey, RandomEventsKeepTheStateConsistent) {
    test::runMonkey(1000);
}

}  // namespace
}  // namespace etalon
