// Runs a clean-up action at scope exit unless released ("keep on success").
#pragma once

#include <utility>

namespace qrx {

template <typename F>
class ScopeGuard {
 public:
  explicit ScopeGuard(F action) : action_(std::move(action)) {}
  ~ScopeGuard() {
    if (active_) action_();
  }
  ScopeGuard(const ScopeGuard&) = delete;
  ScopeGuard& operator=(const ScopeGuard&) = delete;

  void release() { active_ = false; }

 private:
  F action_;
  bool active_ = true;
};

template <typename F>
ScopeGuard<F> MakeScopeGuard(F action) {
  return ScopeGuard<F>(std::move(action));
}

}  // namespace qrx
