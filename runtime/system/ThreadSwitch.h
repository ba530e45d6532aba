// Hooks for state that the runtime keeps per runtime thread in places all
// threads share (a per-thread file's record buffer): the runtime lock runs
// the switch hooks each time a thread takes it, so the state of the thread
// that now runs is in place before any of its code does; a runtime thread
// runs the end hooks as it ends, still holding the lock, so its state goes
// with it. Hooks run under the runtime lock.
#pragma once

#include <cstdint>

namespace runtime {

using ThreadSwitchHook = void (*)();
using ThreadEndHook = void (*)(std::int32_t threadNumber);

// Each hook is added once however often it is passed; hooks stay for the
// process.
void AddThreadSwitchHook(ThreadSwitchHook hook);
void AddThreadEndHook(ThreadEndHook hook);

// Called by the runtime lock after it was taken.
void RunThreadSwitchHooks();
// Called by a runtime thread as it ends, holding the lock.
void RunThreadEndHooks(std::int32_t threadNumber);

}  // namespace runtime
