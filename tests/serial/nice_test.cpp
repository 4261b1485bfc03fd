// The nice value taken when the system refuses a higher priority.
#include "serial/nice_linux.h"

#include <gtest/gtest.h>

TEST(NiceFallback, NeverLowersThePriorityAndTakesTheNearestAllowedValue)
{
    // Unprivileged (RLIMIT_NICE 0): nothing higher than nice 20 is allowed, so nothing changes,
    // whatever the request (seen before: 19, the lowest priority).
    EXPECT_EQ(NiceFallback(-20, 0, 0), std::nullopt);
    EXPECT_EQ(NiceFallback(0, 5, 0), std::nullopt); // under nice -n 5
    // A limit of 25 allows down to -5: the nearest to the request.
    EXPECT_EQ(NiceFallback(-20, 0, 25), -5);
    EXPECT_EQ(NiceFallback(-20, -10, 25), std::nullopt); // already higher than allowed
    EXPECT_EQ(NiceFallback(-10, 5, 40), -10);            // the limit is not what stands in the way
}
