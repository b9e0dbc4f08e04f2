// Console objects the module defines and the host's console-variable service keeps, and their
// registration. Objects are static, so they come into being before the service is known: set-up
// collects them on a pending list, RegisterConsoleObjects (at load) hands them to the service
// through an accessor, and UnregisterConsoleObjects (at unload) has the service forget them all by
// the module identifier it handed out. Host thread only; nothing here takes a lock.
#pragma once

#include "console/host_destructor.h"

#include <cstddef>
#include <cstdint>
#include <new>

enum : uint32_t {
    // Set-up leaves the object off the pending list, so registration never submits it.
    CONSOLE_FLAG_UNLISTED = 0x1,
    // A variable's assignments change its numbers only: no text, no callback, no notification.
    CONSOLE_FLAG_NUMERIC_ONLY = 0x1000,
};

// The host calls these operations by position, so their order and the fields' order and widths
// are the contract (checked in console_object.cpp).
class ConCommandBase {
public:
    // Cleared: no link, not accepted, no name or help text, no flags. Neither listed nor
    // submitted; that is set-up's work.
    ConCommandBase();
    ConCommandBase(const ConCommandBase&) = delete;
    ConCommandBase& operator=(const ConCommandBase&) = delete;

    // Positions, Linux | Windows. The destructor neither unlinks the object from the pending list
    // nor unregisters it.
    DECLARE_HOST_DESTRUCTOR(ConCommandBase);  //  0 and 1 | 0
    virtual bool ActsAsCommand();             //  2 | 1
    virtual bool HasAnyFlag(uint32_t nMask);  //  3 | 2
    virtual void MergeFlags(uint32_t nMask);  //  4 | 3
    virtual const char* ObjectName();         //  5 | 4
    virtual const char* ObjectHelp();         //  6 | 5
    virtual bool WasAcceptedByService();      //  7 | 6
    virtual int32_t OwningModuleIdentifier(); //  8 | 7
    virtual void SetUpObject(const char* pszName, const char* pszHelpText,
                             uint32_t nFlags); //  9 | 8
    virtual void SubmitToAccessor();           // 10 | 9

    // Heap objects come from the host allocator and go back to it, whoever links the module.
    // Only the nothrow form is offered: nothing here throws.
    static void* operator new(size_t nSize, const std::nothrow_t&) noexcept;
    static void* operator new(size_t /*nSize*/, void* pStorage) noexcept { return pStorage; }
    static void operator delete(void* pObject) noexcept;

    // Read by the host at their offsets. The name and the help text are borrowed and must
    // outlive the object.
    ConCommandBase* m_pNextPending;
    bool m_bAcceptedByService; // only the service sets it
    const char* m_pszObjectName;
    const char* m_pszHelpText;
    uint32_t m_nFlagBits;
};

class IConCommandBaseAccessor {
public:
    // The result tells whether the object was taken; registration does not look at it.
    virtual bool AcceptConsoleObject(ConCommandBase* pObject) = 0; // 0

protected:
    ~IConCommandBaseAccessor() = default;
};

// Hands each object to the console-variable service in g_pCVar.
class CDefaultAccessor final : public IConCommandBaseAccessor {
public:
    // False, and the service is not called, while no service is connected.
    bool AcceptConsoleObject(ConCommandBase* pObject) override;
};

// Registration state, module-wide. The pending list grows at its head, so it holds the objects in
// reverse order of set-up.
extern ConCommandBase* g_pPendingObjects;
// The accessor in force: set by every registration that runs, never cleared.
extern IConCommandBaseAccessor* g_pRegistrationAccessor;
// Merged into every object during the registration walk.
extern uint32_t g_nRegistrationFlags;
extern bool g_bConsoleObjectsRegistered;
// From the service; -1 while there is none.
extern int32_t g_nModuleIdentifier;
extern CDefaultAccessor g_DefaultRegistrationAccessor;

// Does nothing without a service or while registered. Otherwise asks the service for a module
// identifier, puts pAccessor (null: the default one) in force and submits every pending object,
// newest first, with nFlags merged into its flags; the pending list is then empty.
void RegisterConsoleObjects(uint32_t nFlags, IConCommandBaseAccessor* pAccessor);

// Does nothing without a service or a registration. Otherwise has the service forget every object
// of the module. The accessor and the registration flags stay as they are.
void UnregisterConsoleObjects();
