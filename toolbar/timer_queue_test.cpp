#include "toolbar/timer_queue.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace norvex::toolbar {
namespace {

// What fired, as "id@moment".
struct Firings {
  TimerQueue& queue;
  std::vector<std::string> log;
  void Advance(int64_t milliseconds) {
    queue.Advance(milliseconds, [this](int id) {
      log.push_back(std::to_string(id) + "@" + std::to_string(queue.now()));
    });
  }
};

TEST(TimerQueue, TimersFireEveryPeriodInTimeOrderUntilStopped) {
  const struct {
    const char* name;
    std::vector<std::pair<int, int>> started;  // id, period
    int64_t advance;
    std::vector<std::string> fired;
  } cases[] = {
      {"nothing due yet", {{1, 50}}, 49, {}},
      {"due at the end of the step", {{1, 50}}, 50, {"1@50"}},
      {"every period", {{1, 50}}, 160, {"1@50", "1@100", "1@150"}},
      {"in time order", {{1, 30}, {2, 20}}, 60, {"2@20", "1@30", "2@40", "1@60", "2@60"}},
      {"same moment: the order started", {{2, 10}, {1, 10}}, 10, {"2@10", "1@10"}},
      {"restarted: the new period", {{1, 10}, {1, 25}}, 50, {"1@25", "1@50"}},
      {"zero counts as one", {{1, 0}}, 2, {"1@1", "1@2"}},
  };
  for (const auto& c : cases) {
    TimerQueue queue;
    for (const auto& [id, period] : c.started) queue.Start(id, period);
    Firings firings{queue};
    firings.Advance(c.advance);
    EXPECT_EQ(firings.log, c.fired) << c.name;
    EXPECT_EQ(queue.now(), c.advance) << c.name;
  }
}

TEST(TimerQueue, AHandlerStopsAndStartsTimers) {
  TimerQueue queue;
  queue.Start(1, 10);
  queue.Start(2, 15);
  std::vector<std::string> log;
  queue.Advance(100, [&](int id) {
    log.push_back(std::to_string(id) + "@" + std::to_string(queue.now()));
    if (id == 1) queue.Stop(1);  // a one-shot, as the usage timer
    if (id == 2 && queue.now() == 15) {
      queue.Stop(2);
      queue.Start(3, 40);  // from the moment it was started: due at 55
    }
  });
  EXPECT_EQ(log, (std::vector<std::string>{"1@10", "2@15", "3@55", "3@95"}));
  EXPECT_FALSE(queue.Running(1));
  EXPECT_TRUE(queue.Running(3));
  queue.Stop(3);
  Firings none{queue};
  none.Advance(1000);
  EXPECT_TRUE(none.log.empty());
  EXPECT_EQ(queue.now(), 1100);
}

}  // namespace
}  // namespace norvex::toolbar
