#pragma once
// Jobs on threads of their own, for the readers and the printers that work on
// every core. A job for which no thread can be had is done at once on the
// calling thread: the result is the same, only later.

#include <system_error>
#include <thread>
#include <vector>

namespace platform {

// Starts `job` on a thread of its own, kept in `threads`, or does it here.
template <class Job>
void start_job(std::vector<std::thread>& threads, const Job& job) {
  try {
    threads.emplace_back(job);
  } catch (const std::system_error&) {
    job();
  }
}

// Waits for every job started.
inline void finish_jobs(std::vector<std::thread>& threads) {
  for (std::thread& thread : threads) thread.join();
  threads.clear();
}

}  // namespace platform
