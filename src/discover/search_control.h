// What a long search shares with whoever runs it: a stop flag that any
// thread may set, and a callback told how far the search has gone. The
// studio runs the searches off its interface thread; the command line shows
// the progress on a terminal and stops on Ctrl+C.
#pragma once

#include <atomic>
#include <functional>

namespace romscriber {

struct SearchControl {
  // Set from any thread: the search returns soon after, with what it has
  // found so far and its Stopped flag set.
  const std::atomic<bool>* Stop = nullptr;
  // Called on the searching thread now and then with the share of the work
  // done, from 0 to 1, never going back.
  std::function<void(double)> Progress;

  bool StopRequested() const { return Stop != nullptr && Stop->load(std::memory_order_relaxed); }
  void Report(double done) const {
    if (Progress) Progress(done);
  }
};

}  // namespace romscriber
