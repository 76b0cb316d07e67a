// The pacer across the tick count's wrap: the burst, the wait, the next line.
#include <gtest/gtest.h>

#include "connection/send_pacer.h"

namespace kolu {
namespace {

TEST(SendPacer, TheBurstThenOneLinePerIntervalAcrossTheTickWrap) {
    SendPacer pacer;
    const std::uint32_t start = 0xFFFFFFFFu - 1000;
    for (int line = 0; line < 5; ++line) {
        EXPECT_TRUE(pacer.tryTake(start, 5, 2000)) << line;
    }
    EXPECT_FALSE(pacer.tryTake(start, 5, 2000));
    EXPECT_EQ(pacer.waitMs(start, 5, 2000), 2000);
    EXPECT_FALSE(pacer.tryTake(start + 1999, 5, 2000));
    EXPECT_TRUE(pacer.tryTake(start + 2000, 5, 2000));  // past the wrap
    EXPECT_FALSE(pacer.tryTake(start + 2000, 5, 2000));
}

}  // namespace
}  // namespace kolu
