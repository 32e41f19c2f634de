#include "memory/GlobalMemory.h"

#include <cstring>
#include <new>

// A handle is the piece's own address: nothing in this process moves memory.

HGLOBAL GlobalMemory::GlobalAlloc(uint32_t flags, std::size_t bytes) {
  void* piece = ::operator new(bytes > 0 ? bytes : 1, std::nothrow);
  if (piece != nullptr && (flags & GMEM_ZEROINIT) != 0) std::memset(piece, 0, bytes);
  return piece;
}

void* GlobalMemory::GlobalLock(HGLOBAL memory) {
  return memory;
}

bool GlobalMemory::GlobalUnlock(HGLOBAL) {
  return true;
}

HGLOBAL GlobalMemory::GlobalFree(HGLOBAL memory) {
  ::operator delete(memory);
  return nullptr;
}

GlobalMemory& processMemory() {
  static GlobalMemory memory;
  return memory;
}
