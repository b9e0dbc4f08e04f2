// What the module's allocation tag needs from the system: the module's own file path, found from
// an address inside it, and a block of the process heap that outlives the module.
//
// Any thread. Neither function allocates through the module's own allocation routines, so both
// may run while one of those routines is building the tag.
#pragma once

#include <cstdint>

// Writes the full path of the module that holds pAddressInModule into pBuffer, terminated.
// False, with pBuffer's contents unspecified, when the system cannot tell the path or the path
// and its terminator do not fit in nCapacity bytes: a cut path would name another file.
bool ReadModulePath(const void* pAddressInModule, char* pBuffer, uint32_t nCapacity);

// nSize bytes from the process heap, never given back; null when the heap refuses. The block
// stays valid after the module is unmapped, so a host that keeps a pointer into it (a debug heap
// remembering where each block came from) never reads freed memory.
char* TakeProcessHeapBlock(uint32_t nSize);

// The character that ends the directory part of the paths ReadModulePath gives.
char ModulePathSeparator();
