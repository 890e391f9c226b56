// The library's only way to use more than one core for one call: a few
// tasks of the call run on threads started for that call and joined before
// it returns. Nothing outlives the call (no pool, no process-wide state but
// the thread limit read once), so every export stays callable from any
// thread, and calls on different threads stay independent.
#pragma once

namespace rk {

// The most threads one call may use: the environment variable
// RASTKIT_THREADS (1 .. 64; 1 keeps every call on its calling thread) or
// else the number of hardware threads; read once, at the first call.
[[nodiscard]] int MaxThreads();

// Runs task(context, 0) .. task(context, count - 1) and returns when all
// have finished: task 0 on the calling thread, each other one on a thread
// of its own. A thread that cannot be started has its task run on the
// calling thread instead. Tasks must not throw.
void RunTasks(int count, void (*task)(void* context, int index), void* context);

// The same with any callable taking the task index.
template <class F>
void RunTasks(int count, F& f) {
  RunTasks(count, [](void* c, int i) { (*static_cast<F*>(c))(i); }, &f);
}

}  // namespace rk
