#pragma once

// Movable memory, with the names of the classic global-memory functions: the wave streams
// keep their block and header store in it. A piece is allocated as a handle, then locked for
// its address, which stays valid and fixed until it is unlocked and freed. A stream is given
// the service it allocates from: the process's own, or in tests one that refuses.

#include <cstddef>
#include <cstdint>

using HGLOBAL = void*;

constexpr uint32_t GMEM_MOVEABLE = 0x0002;
constexpr uint32_t GMEM_ZEROINIT = 0x0040;
constexpr uint32_t GMEM_SHARE = 0x2000;

class GlobalMemory {
 public:
  virtual ~GlobalMemory() = default;
  // Null when there is no memory; zero-filled with GMEM_ZEROINIT.
  virtual HGLOBAL GlobalAlloc(uint32_t flags, std::size_t bytes);
  // The piece's address; null when it cannot be locked.
  virtual void* GlobalLock(HGLOBAL memory);
  virtual bool GlobalUnlock(HGLOBAL memory);
  // Null once the piece is released.
  virtual HGLOBAL GlobalFree(HGLOBAL memory);
};

// The process's heap.
GlobalMemory& processMemory();
