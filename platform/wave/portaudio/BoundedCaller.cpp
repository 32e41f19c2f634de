#include "wave/portaudio/BoundedCaller.h"

namespace osciloskop {

BoundedCaller::BoundedCaller() : thread_([state = state_] { serve(state); }) {}

BoundedCaller::~BoundedCaller() {
  bool stuck;
  {
    std::lock_guard lock(state_->mutex);
    state_->stopping = true;
    stuck = state_->busy;
  }
  state_->changed.notify_all();
  if (stuck)
    thread_.detach();
  else
    thread_.join();
}

bool BoundedCaller::stuck() const {
  std::lock_guard lock(state_->mutex);
  return state_->busy;
}

bool BoundedCaller::runJob(std::function<void()> job, std::chrono::milliseconds timeout) {
  State& state = *state_;
  std::unique_lock lock(state.mutex);
  if (state.busy) return false;
  state.job = std::move(job);
  state.busy = true;
  const uint64_t ticket = state.finished + 1;
  state.changed.notify_all();
  return state.changed.wait_for(lock, timeout, [&] { return state.finished >= ticket; });
}

void BoundedCaller::serve(const std::shared_ptr<State>& shared) {
  State& state = *shared;
  std::unique_lock lock(state.mutex);
  for (;;) {
    state.changed.wait(lock, [&] { return state.stopping || state.job; });
    if (!state.job) return;
    std::function<void()> job = std::move(state.job);
    state.job = nullptr;
    lock.unlock();
    job();
    lock.lock();
    ++state.finished;
    state.busy = false;
    state.changed.notify_all();
  }
}

}  // namespace osciloskop
