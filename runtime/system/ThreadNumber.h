// Runtime thread numbers. The runtime numbers its threads from 1 (the thread
// that starts the program); per-thread state of files is kept by this number.
#pragma once

#include <cstdint>

namespace runtime {

// The calling thread's number; a thread that has none yet gets the next free
// one (the first thread to ask gets 1).
std::int32_t CurrentThreadNumber();

// Gives the calling thread a number of the runtime's choosing (used when the
// runtime starts a thread of its own).
void SetCurrentThreadNumber(std::int32_t number);

}  // namespace runtime
