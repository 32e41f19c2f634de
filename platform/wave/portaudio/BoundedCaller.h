#pragma once

// Runs calls into a library that can block for ever on a dead device (PortAudio starting a
// stream on a sound server that has gone away) on a thread of their own, and waits for each
// only so long. A call that overruns is left to finish on its own; until it does, further
// calls are refused at once, as the library is still busy inside. So a caller always gets
// its answer in bounded time.
//
// What a call uses must outlive it even when it overruns: capture values, not references.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace osciloskop {

class BoundedCaller {
 public:
  BoundedCaller();
  // Joins the thread; a thread stuck in a call is left behind.
  ~BoundedCaller();
  BoundedCaller(const BoundedCaller&) = delete;
  BoundedCaller& operator=(const BoundedCaller&) = delete;

  // The call's result, or nothing when it did not end within `timeout` (or the thread is
  // still stuck in an earlier one).
  template <typename Call>
  auto run(Call call, std::chrono::milliseconds timeout) -> std::optional<decltype(call())> {
    using Result = decltype(call());
    auto result = std::make_shared<std::optional<Result>>();
    if (!runJob([call, result]() mutable { *result = call(); }, timeout)) return std::nullopt;
    return *result;
  }

  // True while a call that overran is still running.
  bool stuck() const;

 private:
  // Shared with the thread, which keeps it alive when it is left behind in a call.
  struct State {
    std::mutex mutex;
    std::condition_variable changed;
    std::function<void()> job;  // the call waiting for the thread
    bool busy = false;          // a call is waiting or running
    bool stopping = false;
    uint64_t finished = 0;  // calls finished so far
  };

  bool runJob(std::function<void()> job, std::chrono::milliseconds timeout);
  static void serve(const std::shared_ptr<State>& state);

  const std::shared_ptr<State> state_ = std::make_shared<State>();
  std::thread thread_;
};

}  // namespace osciloskop
