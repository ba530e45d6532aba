// Movable global memory blocks: what a foreign call receives instead of a
// pointer. A block is known by a 32-bit handle (an id into the runtime's own
// table, never an address); its bytes are reached only between Lock and
// Unlock, which count, so the holder of a handle never keeps a stale
// address. Every block is zero-filled when allocated. Any thread; the table
// has its own lock, so a library call running with the runtime lock
// released may read blocks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace runtime::platform {

using MemoryHandle = std::uint32_t;  // 0 = no block

// A zero-filled block of bytes (0 is allowed); 0 when it cannot be had.
[[nodiscard]] MemoryHandle GlobalAlloc(std::size_t bytes);
// The block's bytes, counting one more lock; nullptr for an unknown handle.
// The address stays valid until the block is freed.
[[nodiscard]] std::byte* GlobalLock(MemoryHandle handle);
// Counts one lock off. Returns the locks still held (0 = fully unlocked), or
// nothing for an unknown handle or a block that was not locked.
[[nodiscard]] std::optional<std::uint32_t> GlobalUnlock(MemoryHandle handle);
// Frees the block whatever its lock count; false for an unknown handle.
bool GlobalFree(MemoryHandle handle);
// The block's size in bytes; 0 for an unknown handle.
std::size_t GlobalSize(MemoryHandle handle);
// How many blocks are allocated and not freed (tests check for leaks).
std::size_t GlobalBlocksInUse();

// For tests: makes one call of an operation fail after a number of
// successful calls, as a system short of memory or with a broken block
// would. Disarmed on destruction. One at a time.
class ScopedMemoryFault {
 public:
  enum class Operation : std::uint8_t { Alloc, Lock, Unlock };
  ScopedMemoryFault(Operation operation, std::uint32_t successesBefore = 0);
  ~ScopedMemoryFault();
  ScopedMemoryFault(const ScopedMemoryFault&) = delete;
  ScopedMemoryFault& operator=(const ScopedMemoryFault&) = delete;
};

}  // namespace runtime::platform
