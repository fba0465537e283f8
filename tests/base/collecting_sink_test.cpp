#include "base/collecting_sink.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "base/allocation.h"
#include "processing/chains_header.h"

namespace etalon {
namespace {

// Callers tell an allocation failure from a refusal by its kind, not its words.
TEST(CollectingSink, AnAllocationFailureKeepsItsKind) {
    CollectingSink collected;
    auto sink = collected.forItem(2);
    failAllocationAfter(1);
    const auto chains = getChainsHeader(sink, 10, 5, nullptr);
    failAllocationAfter(0);
    EXPECT_FALSE(chains);
    sink.show("a refusal", "", MessageIcon::None);
    const auto messages = collected.messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_TRUE(messages[0].outOfMemory) << messages[0].text;
    EXPECT_FALSE(messages[1].outOfMemory);
}

TEST(CollectingSink, MessagesFromManyThreadsComeBackOnceInItemOrder) {
    CollectingSink collected;
    constexpr int kThreads = 4, kItems = 250;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&collected, t] {
            // Each thread takes every fourth item and reports twice for it.
            for (int item = t; item < kItems; item += kThreads) {
                auto sink = collected.forItem(item);
                sink.show("first " + std::to_string(item), " caption ", MessageIcon::Warning);
                sink.show("second " + std::to_string(item), "", MessageIcon::None);
            }
        });
    }
    for (auto& thread : threads)
        thread.join();

    const auto messages = collected.messages();
    ASSERT_EQ(messages.size(), 2u * kItems);
    EXPECT_EQ(collected.count(), 2u * kItems);
    for (int item = 0; item < kItems; ++item) {
        EXPECT_EQ(messages[2 * item].item, static_cast<std::size_t>(item));
        EXPECT_EQ(messages[2 * item].text, "first " + std::to_string(item));
        EXPECT_EQ(messages[2 * item].caption, " caption ");
        EXPECT_EQ(messages[2 * item].icon, MessageIcon::Warning);
        EXPECT_EQ(messages[2 * item + 1].text, "second " + std::to_string(item));
    }
    ASSERT_TRUE(collected.first());
    EXPECT_EQ(collected.first()->text, "first 0");
    EXPECT_TRUE(collected.reported(7));
    EXPECT_FALSE(collected.reported(kItems));
    EXPECT_FALSE(CollectingSink().first());
}

}  // namespace
}  // namespace etalon
