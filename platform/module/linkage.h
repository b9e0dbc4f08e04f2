// Linkage of the names that cross module boundaries: the module's three exports and the runtime
// library's four imports. The only place that knows how each platform spells them.
#pragma once

#if defined(_WIN32)
#define TAVREL_EXPORT __declspec(dllexport)
#if defined(TAVREL_BUILDING_TIER0)
#define TAVREL_TIER0_API __declspec(dllexport)
#else
#define TAVREL_TIER0_API __declspec(dllimport)
#endif
#else
#define TAVREL_EXPORT __attribute__((visibility("default")))
#define TAVREL_TIER0_API __attribute__((visibility("default")))
#endif

// The calling convention of member functions in the host's binary interface, for code that calls
// or provides a table entry by position without a C++ declaration.
#if defined(_WIN32) && defined(__i386__)
#define TAVREL_THISCALL __attribute__((thiscall))
#else
#define TAVREL_THISCALL
#endif
