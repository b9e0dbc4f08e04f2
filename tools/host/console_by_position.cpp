// Console objects' tables and fields as the host sees them.
#include "tools/host/console_by_position.h"

#include "platform/module/linkage.h"

#include <cstring>

namespace {

// The object's first word points at its table of entries.
template <typename Result, typename... Arguments>
Result CallEntry(void* pObject, int nPosition, Arguments... arguments) {
    using Entry = Result(TAVREL_THISCALL*)(void*, Arguments...);
    Entry* pTable = *static_cast<Entry**>(pObject);
    return pTable[nPosition](pObject, arguments...);
}

} // namespace

template <typename Result, typename... Arguments>
Result ConsoleObjectByPosition::Call(int nPosition, Arguments... arguments) const {
    return CallEntry<Result>(m_pObject, nPosition, arguments...);
}

template <typename Field> Field ConsoleObjectByPosition::Read(size_t nOffset) const {
    Field value;
    std::memcpy(&value, static_cast<const char*>(m_pObject) + nOffset, sizeof(value));
    return value;
}

void ConsoleObjectByPosition::Destroy(bool bRelease) const {
    if constexpr (HOST_DESTRUCTOR_ENTRIES == 1) {
        // One deleting entry that takes the flags and returns the object.
        Call<void*>(0, bRelease ? static_cast<unsigned int>(HOST_DESTROY_RELEASE) : 0u);
    } else {
        // In place first, then the entry that also frees.
        Call<void>(bRelease ? 1 : 0);
    }
}

bool ConsoleObjectByPosition::ActsAsCommand() const {
    return Call<bool>(CONSOLE_ACTS_AS_COMMAND);
}
bool ConsoleObjectByPosition::HasAnyFlag(uint32_t nMask) const {
    return Call<bool>(CONSOLE_HAS_ANY_FLAG, nMask);
}
void ConsoleObjectByPosition::MergeFlags(uint32_t nMask) const {
    Call<void>(CONSOLE_MERGE_FLAGS, nMask);
}
const char* ConsoleObjectByPosition::ObjectName() const {
    return Call<const char*>(CONSOLE_OBJECT_NAME);
}
const char* ConsoleObjectByPosition::ObjectHelp() const {
    return Call<const char*>(CONSOLE_OBJECT_HELP);
}
bool ConsoleObjectByPosition::WasAcceptedByService() const {
    return Call<bool>(CONSOLE_WAS_ACCEPTED_BY_SERVICE);
}
int32_t ConsoleObjectByPosition::OwningModuleIdentifier() const {
    return Call<int32_t>(CONSOLE_OWNING_MODULE_IDENTIFIER);
}
void ConsoleObjectByPosition::SetUpObject(const char* pszName, const char* pszHelpText,
                                          uint32_t nFlags) const {
    Call<void>(CONSOLE_SET_UP_OBJECT, pszName, pszHelpText, nFlags);
}
void ConsoleObjectByPosition::SubmitToAccessor() const {
    Call<void>(CONSOLE_SUBMIT_TO_ACCESSOR);
}
void ConsoleObjectByPosition::AssignFromText(const char* pszValue) const {
    Call<void>(CONVAR_ASSIGN_FROM_TEXT, pszValue);
}
void ConsoleObjectByPosition::AssignFromFloat(float flValue) const {
    Call<void>(CONVAR_ASSIGN_FROM_FLOAT, flValue);
}
void ConsoleObjectByPosition::AssignFromInteger(int32_t nValue) const {
    Call<void>(CONVAR_ASSIGN_FROM_INTEGER, nValue);
}
bool ConsoleObjectByPosition::LimitToRange(float* pflValue) const {
    return Call<bool>(CONVAR_LIMIT_TO_RANGE, pflValue);
}
void ConsoleObjectByPosition::ReplaceText(const char* pszValue, float flPreviousValue) const {
    Call<void>(CONVAR_REPLACE_TEXT, pszValue, flPreviousValue);
}
void ConsoleObjectByPosition::SetUpVariable(const char* pszName, const char* pszDefaultText,
                                            uint32_t nFlags, const char* pszHelpText,
                                            bool bHasLowerBound, float flLowerBound,
                                            bool bHasUpperBound, float flUpperBound,
                                            HostVariableChangedCallback pfnOnChanged) const {
    Call<void>(CONVAR_SET_UP_VARIABLE, pszName, pszDefaultText, nFlags, pszHelpText, bHasLowerBound,
               flLowerBound, bHasUpperBound, flUpperBound, pfnOnChanged);
}

void ConsoleObjectByPosition::SetAcceptedByService(bool bAccepted) const {
    static_cast<char*>(m_pObject)[CONSOLE_FIELD_ACCEPTED_BY_SERVICE] = bAccepted ? 1 : 0;
}
uint32_t ConsoleObjectByPosition::FlagBits() const {
    return Read<uint32_t>(CONSOLE_FIELD_FLAG_BITS);
}
void* ConsoleObjectByPosition::Facet() const {
    return static_cast<char*>(m_pObject) + CONVAR_FACET;
}
void* ConsoleObjectByPosition::Identity() const {
    return Read<void*>(CONVAR_FIELD_IDENTITY);
}
const char* ConsoleObjectByPosition::DefaultText() const {
    return Read<const char*>(CONVAR_FIELD_DEFAULT_TEXT);
}
const char* ConsoleObjectByPosition::Text() const {
    return Read<const char*>(CONVAR_FIELD_TEXT);
}
int32_t ConsoleObjectByPosition::TextCapacity() const {
    return Read<int32_t>(CONVAR_FIELD_TEXT_CAPACITY);
}
float ConsoleObjectByPosition::Number() const {
    return Read<float>(CONVAR_FIELD_NUMBER);
}
int32_t ConsoleObjectByPosition::Integer() const {
    return Read<int32_t>(CONVAR_FIELD_INTEGER);
}

void ConVarFacetByPosition::SetFromInteger(int32_t nValue) const {
    CallEntry<void>(m_pFacet, FACET_SET_FROM_INTEGER, nValue);
}
void ConVarFacetByPosition::SetFromFloat(float flValue) const {
    CallEntry<void>(m_pFacet, FACET_SET_FROM_FLOAT, flValue);
}
void ConVarFacetByPosition::SetFromText(const char* pszValue) const {
    CallEntry<void>(m_pFacet, FACET_SET_FROM_TEXT, pszValue);
}
const char* ConVarFacetByPosition::ObjectName() const {
    return CallEntry<const char*>(m_pFacet, FACET_OBJECT_NAME);
}
bool ConVarFacetByPosition::HasAnyFlag(uint32_t nMask) const {
    return CallEntry<bool>(m_pFacet, FACET_HAS_ANY_FLAG, nMask);
}

bool AccessorByPosition::AcceptConsoleObject(void* pObject) const {
    return CallEntry<bool>(m_pAccessor, ACCESSOR_ACCEPT_CONSOLE_OBJECT, pObject);
}
