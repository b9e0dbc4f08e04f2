// The module's tag: its own file name without directory and last extension. When the host
// allocator keeps a debug heap, the module passes the tag as the origin of every block it takes.
#pragma once

#include <atomic>
#include <cstdint>

// The path buffer's size, terminator included.
constexpr uint32_t MODULE_TAG_BUFFER_SIZE = 260;

// Cuts a module path to its tag, in place, and returns where the tag begins inside pszPath.
// Without a full stop, or without a separator, the tag is the whole path. Otherwise the last
// full stop becomes the terminator and the tag begins after the last separator; when that full
// stop lies in a directory name, only text ahead of the tag is cut and the tag is the file name.
char* CutModuleTag(char* pszPath, char cSeparator);

// Where the tag's path and buffer come from; tests put failing sources in.
struct ModuleTagSources {
    char* (*m_pfnTakeBuffer)(uint32_t nSize); // never given back
    bool (*m_pfnReadModulePath)(const void* pAddressInModule, char* pBuffer, uint32_t nCapacity);
    char m_cSeparator;
};

// The tag, or null when the host allocator keeps no debug heap (then nothing else is done), the
// buffer cannot be had or the path cannot be read. The allocator must be present. The tag's
// buffer is never freed: the host may keep the pointer for as long as the block lives.
const char* BuildModuleTag();
const char* BuildModuleTagFrom(const ModuleTagSources& sources);

// A tag built at most once, a null result included, so the host is asked whether it keeps a
// debug heap at most once per cache. Constant-initialised: usable before any start-up code ran.
struct ModuleTagCache {
    std::atomic<bool> m_bBuilt;
    std::atomic<const char*> m_pszTag;
};

// AllocateBlock and AllocateZeroed use the first, ReallocateBlock the second. Tests may reset them.
extern ModuleTagCache AllocationTagCache;
extern ModuleTagCache ReallocationTagCache;

// The cache's tag, built on first use. Of concurrent first users exactly one builds it; the others
// may go out untagged meanwhile, which costs the host nothing but the origin of those blocks.
const char* LookUpModuleTag(ModuleTagCache& cache);
