// Window timers without a window: each timer fires every period from when it was started until
// it is stopped, as SetTimer's do, on a clock of milliseconds that moves only when told. The
// native host moves it for "wait"; tests move it to any moment they like.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace norvex::toolbar {

class TimerQueue {
 public:
  // Starts timer `id`, first due `milliseconds` from now (at least 1); a running timer of the
  // same id starts over with the new period, as SetTimer does.
  void Start(int id, int milliseconds);
  void Stop(int id);
  bool Running(int id) const;
  // Milliseconds since the queue was made.
  int64_t now() const { return now_; }

  // Moves the clock on by `milliseconds`, calling `fire(id)` for each timer as it falls due, in
  // time order (timers due at the same moment in the order they were started); the clock stands
  // at the moment of each firing while `fire` runs, and `fire` may start and stop timers.
  void Advance(int64_t milliseconds, const std::function<void(int id)>& fire);

 private:
  struct Timer {
    int id;
    int64_t period;
    int64_t due;
    uint64_t order;  // when it was started, for timers due at the same moment
  };
  std::vector<Timer> timers_;
  int64_t now_ = 0;
  uint64_t started_ = 0;
};

}  // namespace norvex::toolbar
