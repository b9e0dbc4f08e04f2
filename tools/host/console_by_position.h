// Console objects as the host sees them: raw table entries called by position, each with the
// object as its first argument in the host's member-call convention, and the fields a server
// reads at their offsets. Nothing here uses the module's own declarations; the one outside fact
// is how many entries the host's compiler gives a virtual destructor. Host thread only.
#pragma once

#include "console/host_destructor.h"

#include <cstddef>
#include <cstdint>

// A console object's primary table: the destructor entries, then the operations in order.
enum ConsoleObjectPosition : int {
    CONSOLE_ACTS_AS_COMMAND = HOST_DESTRUCTOR_ENTRIES + 0,
    CONSOLE_HAS_ANY_FLAG = HOST_DESTRUCTOR_ENTRIES + 1,
    CONSOLE_MERGE_FLAGS = HOST_DESTRUCTOR_ENTRIES + 2,
    CONSOLE_OBJECT_NAME = HOST_DESTRUCTOR_ENTRIES + 3,
    CONSOLE_OBJECT_HELP = HOST_DESTRUCTOR_ENTRIES + 4,
    CONSOLE_WAS_ACCEPTED_BY_SERVICE = HOST_DESTRUCTOR_ENTRIES + 5,
    CONSOLE_OWNING_MODULE_IDENTIFIER = HOST_DESTRUCTOR_ENTRIES + 6,
    CONSOLE_SET_UP_OBJECT = HOST_DESTRUCTOR_ENTRIES + 7,
    CONSOLE_SUBMIT_TO_ACCESSOR = HOST_DESTRUCTOR_ENTRIES + 8,
    // Variables only.
    CONVAR_ASSIGN_FROM_TEXT = HOST_DESTRUCTOR_ENTRIES + 9,
    CONVAR_ASSIGN_FROM_FLOAT = HOST_DESTRUCTOR_ENTRIES + 10,
    CONVAR_ASSIGN_FROM_INTEGER = HOST_DESTRUCTOR_ENTRIES + 11,
    CONVAR_LIMIT_TO_RANGE = HOST_DESTRUCTOR_ENTRIES + 12,
    CONVAR_REPLACE_TEXT = HOST_DESTRUCTOR_ENTRIES + 13,
    CONVAR_SET_UP_VARIABLE = HOST_DESTRUCTOR_ENTRIES + 14,
};

// A variable's facet table.
enum ConVarFacetPosition : int {
    FACET_SET_FROM_INTEGER = 0,
    FACET_SET_FROM_FLOAT = 1,
    FACET_SET_FROM_TEXT = 2,
    FACET_OBJECT_NAME = 3,
    FACET_HAS_ANY_FLAG = 4,
};

enum AccessorPosition : int {
    ACCESSOR_ACCEPT_CONSOLE_OBJECT = 0,
};

// Where a server finds a console object's fields, for 32-bit and 64-bit pointers. A variable's
// facet follows the base object's fields; its own fields follow the facet's table pointer.
constexpr size_t ConsoleFieldOffset(size_t n32, size_t n64) {
    return sizeof(void*) == 4 ? n32 : n64;
}
constexpr size_t CONSOLE_FIELD_ACCEPTED_BY_SERVICE = ConsoleFieldOffset(8, 16);
constexpr size_t CONSOLE_FIELD_FLAG_BITS = ConsoleFieldOffset(20, 40);
constexpr size_t CONVAR_FACET = ConsoleFieldOffset(24, 48);
constexpr size_t CONVAR_FIELD_IDENTITY = ConsoleFieldOffset(28, 56);
constexpr size_t CONVAR_FIELD_DEFAULT_TEXT = ConsoleFieldOffset(32, 64);
constexpr size_t CONVAR_FIELD_TEXT = ConsoleFieldOffset(36, 72);
constexpr size_t CONVAR_FIELD_TEXT_CAPACITY = ConsoleFieldOffset(40, 80);
constexpr size_t CONVAR_FIELD_NUMBER = ConsoleFieldOffset(44, 84);
constexpr size_t CONVAR_FIELD_INTEGER = ConsoleFieldOffset(48, 88);

// The change callback a variable may carry: a plain function.
using HostVariableChangedCallback = void (*)(void* pFacet, const char* pszPreviousText,
                                             float flPreviousValue);

// Borrows the object; whoever loaded its module keeps it alive.
class ConsoleObjectByPosition {
public:
    explicit ConsoleObjectByPosition(void* pObject) : m_pObject(pObject) {}

    void* Object() const { return m_pObject; }

    // The destructor entries: the object is destroyed in place, and with bRelease its memory
    // then goes back to its module.
    void Destroy(bool bRelease) const;
    bool ActsAsCommand() const;
    bool HasAnyFlag(uint32_t nMask) const;
    void MergeFlags(uint32_t nMask) const;
    const char* ObjectName() const;
    const char* ObjectHelp() const;
    bool WasAcceptedByService() const;
    int32_t OwningModuleIdentifier() const;
    void SetUpObject(const char* pszName, const char* pszHelpText, uint32_t nFlags) const;
    void SubmitToAccessor() const;

    // Variables only.
    void AssignFromText(const char* pszValue) const;
    void AssignFromFloat(float flValue) const;
    void AssignFromInteger(int32_t nValue) const;
    bool LimitToRange(float* pflValue) const;
    void ReplaceText(const char* pszValue, float flPreviousValue) const;
    void SetUpVariable(const char* pszName, const char* pszDefaultText, uint32_t nFlags,
                       const char* pszHelpText, bool bHasLowerBound, float flLowerBound,
                       bool bHasUpperBound, float flUpperBound,
                       HostVariableChangedCallback pfnOnChanged) const;

    // Fields, read and written where a server does.
    void SetAcceptedByService(bool bAccepted) const;
    uint32_t FlagBits() const;
    void* Facet() const;
    void* Identity() const;
    const char* DefaultText() const;
    const char* Text() const;
    int32_t TextCapacity() const;
    float Number() const;
    int32_t Integer() const;

private:
    template <typename Result, typename... Arguments>
    Result Call(int nPosition, Arguments... arguments) const;
    template <typename Field> Field Read(size_t nOffset) const;

    void* m_pObject;
};

// A variable's facet, as change callbacks receive it and as a server sets values through it.
class ConVarFacetByPosition {
public:
    explicit ConVarFacetByPosition(void* pFacet) : m_pFacet(pFacet) {}

    void SetFromInteger(int32_t nValue) const;
    void SetFromFloat(float flValue) const;
    void SetFromText(const char* pszValue) const;
    const char* ObjectName() const;
    bool HasAnyFlag(uint32_t nMask) const;

private:
    void* m_pFacet;
};

class AccessorByPosition {
public:
    explicit AccessorByPosition(void* pAccessor) : m_pAccessor(pAccessor) {}

    bool AcceptConsoleObject(void* pObject) const;

private:
    void* m_pAccessor;
};
