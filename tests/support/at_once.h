// Two callers racing for what the program shares, as two windows' previews do on their
// workers: both start together, each as many times as asked, and the count of rounds whose
// result was not the one it gets alone comes back.
#pragma once

#include <atomic>
#include <functional>
#include <thread>

namespace vmktest {

// `a` and `b` each return true when their round gave what they give alone.
inline int WrongRoundsAtOnce(int rounds, const std::function<bool()>& a, const std::function<bool()>& b) {
  std::atomic<int> ready{0};
  std::atomic<int> wrong{0};
  auto run = [&](const std::function<bool()>& f) {
    ready.fetch_add(1);
    while (ready.load() < 2) std::this_thread::yield();
    for (int i = 0; i < rounds; ++i)
      if (!f()) wrong.fetch_add(1);
  };
  std::thread other(run, std::cref(b));
  run(a);
  other.join();
  return wrong.load();
}

}  // namespace vmktest
