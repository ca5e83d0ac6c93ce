#include "toolbar/timer_queue.h"

#include <algorithm>

namespace norvex::toolbar {

void TimerQueue::Start(int id, int milliseconds) {
  Stop(id);
  const int64_t period = std::max(milliseconds, 1);
  timers_.push_back({id, period, now_ + period, started_++});
}

void TimerQueue::Stop(int id) {
  std::erase_if(timers_, [id](const Timer& t) { return t.id == id; });
}

bool TimerQueue::Running(int id) const {
  return std::any_of(timers_.begin(), timers_.end(), [id](const Timer& t) { return t.id == id; });
}

void TimerQueue::Advance(int64_t milliseconds, const std::function<void(int id)>& fire) {
  const int64_t end = now_ + std::max<int64_t>(milliseconds, 0);
  for (;;) {
    auto next =
        std::min_element(timers_.begin(), timers_.end(), [](const Timer& a, const Timer& b) {
          return a.due != b.due ? a.due < b.due : a.order < b.order;
        });
    if (next == timers_.end() || next->due > end) break;
    now_ = next->due;
    next->due += next->period;  // before it fires: the handler may stop or restart it
    const int id = next->id;
    if (fire) fire(id);
  }
  now_ = end;
}

}  // namespace norvex::toolbar
