// The system's clock: local time of a moment and back, as the runtime converts them.
#include <gtest/gtest.h>

#include "platform/platform.h"

namespace norvex::platform {
namespace {

TEST(NativeClock, LocalTimeRoundTrips) {
  Clock& clock = NativeClock();
  // Moments far from any daylight-saving change of the usual time zones.
  for (int64_t moment : {int64_t{1294556703}, int64_t{1700000000}, int64_t{4102444800}}) {
    const auto local = clock.ToLocal(moment);
    ASSERT_TRUE(local) << moment;
    EXPECT_EQ(clock.FromLocal(*local), moment) << moment;
  }
  const auto now = clock.ToLocal(clock.Now());
  ASSERT_TRUE(now);
  EXPECT_GE(now->year, 2024);
  EXPECT_GE(now->month, 1);
  EXPECT_LE(now->month, 12);
}

TEST(NativeClock, FieldsCarryOverAsTheRuntimeDoes) {
  Clock& clock = NativeClock();
  const auto a = clock.FromLocal({2011, 13, 1, 12, 0, 0});
  const auto b = clock.FromLocal({2012, 1, 1, 12, 0, 0});
  ASSERT_TRUE(a && b);
  EXPECT_EQ(*a, *b);
}

}  // namespace
}  // namespace norvex::platform
