// How a virtual destructor occupies the tables the host calls by position. This depends on the
// compiler that built the host, not on ours, so it is the one fact about tables that differs by
// target:
// - a Linux host follows the Itanium C++ ABI: two entries, one that destroys the object in place
//   and one that destroys it and then frees its memory;
// - a Windows host follows its platform compiler: one entry, a deleting destructor that takes a
//   flags word (HOST_DESTROY_RELEASE: also free the memory) and returns the object, called with
//   the member-call convention. MinGW would give a C++ destructor two Itanium entries there, so
//   the entry is declared as an ordinary virtual member and the C++ destructor stays out of the
//   table.
// Classes the host destroys by position declare their destructor with DECLARE_HOST_DESTRUCTOR, as
// their first virtual operation, and provide `operator delete`.
#pragma once

enum : unsigned int {
    HOST_DESTROY_RELEASE = 0x1,
};

#if defined(_WIN32)

enum : int {
    HOST_DESTRUCTOR_ENTRIES = 1,
};

// Overridden by every class that declares it, so the entry runs the most derived destructor.
#define DECLARE_HOST_DESTRUCTOR(Class)                                                             \
    virtual void* DestroyForHost(unsigned int nFlags) {                                            \
        this->~Class();                                                                            \
        if ((nFlags & HOST_DESTROY_RELEASE) != 0) {                                                \
            Class::operator delete(this);                                                          \
        }                                                                                          \
        return this;                                                                               \
    }                                                                                              \
    ~Class()

#else

enum : int {
    HOST_DESTRUCTOR_ENTRIES = 2,
};

#define DECLARE_HOST_DESTRUCTOR(Class) virtual ~Class()

#endif
