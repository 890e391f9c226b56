#include "parallel.h"

#include <cstdlib>
#include <thread>
#include <vector>

namespace rk {
namespace {

constexpr int kThreadLimit = 64;

int ThreadsFromEnvironment() {
  if (const char* value = std::getenv("RASTKIT_THREADS"); value != nullptr) {
    char* end = nullptr;
    const long n = std::strtol(value, &end, 10);
    if (end != value && *end == '\0' && n >= 1 && n <= kThreadLimit) return static_cast<int>(n);
  }
  const unsigned hardware = std::thread::hardware_concurrency();
  if (hardware == 0) return 1;  // unknown: stay on the calling thread
  return hardware < kThreadLimit ? static_cast<int>(hardware) : kThreadLimit;
}

}  // namespace

int MaxThreads() {
  static const int threads = ThreadsFromEnvironment();
  return threads;
}

void RunTasks(int count, void (*task)(void*, int), void* context) {
  std::vector<std::thread> threads;
  int next = 1;
  try {
    threads.reserve(count > 1 ? static_cast<size_t>(count - 1) : 0);
    for (; next < count; ++next) threads.emplace_back(task, context, next);
  } catch (...) {
    // No memory or no more threads: the tasks not started run here.
  }
  task(context, 0);
  for (int i = next; i < count; ++i) task(context, i);
  for (std::thread& t : threads) t.join();
}

}  // namespace rk
