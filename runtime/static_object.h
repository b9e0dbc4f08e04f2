// Storage for a module object that the start-up routine constructs and the shutdown routine
// destroys, in the order that routine fixes. Until then it is zeroed storage that static
// initialisation leaves alone, so no constructor runs before the host allocator has been checked.
#pragma once

#include <new>
#include <utility>

template <class T> class CStaticObject {
public:
    template <class... Arguments> T& Construct(Arguments&&... arguments) {
        return *new (m_Storage) T(std::forward<Arguments>(arguments)...);
    }
    // The storage holds exactly a T, so its own destructor is the one to run.
    void Destroy() { Get().T::~T(); }

    // Only between Construct and Destroy.
    T& Get() { return *std::launder(reinterpret_cast<T*>(m_Storage)); }
    T* operator->() { return &Get(); }

private:
    alignas(T) unsigned char m_Storage[sizeof(T)];
};
