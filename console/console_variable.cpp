// Console variable values: conversion, bounds, the text buffer and change notification.
#include "console/console_variable.h"
#include "console/host_offset.h"

#include "connect/library_connection.h"
#include "runtime/allocation.h"
#include "runtime/format_to_buffer.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <limits>

CStaticObject<CEmptyConVar> g_EmptyVariable;

namespace {

// Numeric assignments render their value into this much automatic storage.
constexpr int32_t NUMBER_TEXT_SIZE = 32;

// Previous texts up to this size (terminator included) are copied into automatic storage; this
// covers every text a console line can carry. A longer one stays in its own buffer while the
// listeners run, and the new text takes a fresh buffer, so the stack use stays bounded.
constexpr size_t PREVIOUS_TEXT_COPY_SIZE = 1024;

// Text buffers are sized in the host allocator's 32-bit counts and held in a signed capacity.
constexpr size_t MAX_TEXT_BUFFER_SIZE = static_cast<size_t>(std::numeric_limits<int32_t>::max());

static_assert(std::numeric_limits<float>::is_iec559 && std::numeric_limits<double>::is_iec559,
              "narrowing a double to a float relies on IEEE rounding and infinities");

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

char* AllocateText(size_t nSize) {
    if (nSize > MAX_TEXT_BUFFER_SIZE) {
        return nullptr;
    }
    return static_cast<char*>(AllocateBlock(static_cast<uint32_t>(nSize)));
}

} // namespace

float ConsoleTextToNumber(const char* pszText) {
    const char* pszNumber = pszText;
    while (std::isspace(static_cast<unsigned char>(*pszNumber))) {
        ++pszNumber;
    }
    const char* pszDigits = pszNumber;
    if (*pszDigits == '+' || *pszDigits == '-') {
        ++pszDigits;
    }
    // The C library would also read "inf", "nan" and hexadecimal; none of them is a number here.
    if (!IsDigit(pszDigits[0]) && !(pszDigits[0] == '.' && IsDigit(pszDigits[1]))) {
        return 0.0f;
    }
    if (pszDigits[0] == '0' && (pszDigits[1] == 'x' || pszDigits[1] == 'X')) {
        return *pszNumber == '-' ? -0.0f : 0.0f;
    }
    return static_cast<float>(std::strtod(pszNumber, nullptr));
}

int32_t ConsoleNumberToInteger(float flValue) {
    if (flValue != flValue) {
        return 0;
    }
    if (flValue >= 2147483648.0f) {
        return std::numeric_limits<int32_t>::max();
    }
    if (flValue < -2147483648.0f) {
        return std::numeric_limits<int32_t>::min();
    }
    return static_cast<int32_t>(flValue);
}

ConVar::ConVar(const char* pszName, const char* pszDefaultText, uint32_t nFlags,
               const char* pszHelpText)
    : m_pIdentity(this), m_pszDefaultText(""), m_pszText(nullptr), m_nTextCapacity(0),
      m_flNumber(0.0f), m_nInteger(0), m_bHasLowerBound(false), m_flLowerBound(0.0f),
      m_bHasUpperBound(false), m_flUpperBound(0.0f), m_pfnOnChanged(nullptr) {
    ConVar::SetUpVariable(pszName, pszDefaultText, nFlags, pszHelpText, false, 0.0f, false, 0.0f,
                          nullptr);
}

ConVar::~ConVar() {
    if (m_nTextCapacity > 0) {
        ReleaseBlock(m_pszText);
    }
    // A second destruction finds nothing left to release.
    m_pszText = nullptr;
    m_nTextCapacity = 0;
}

bool ConVar::ActsAsCommand() {
    return false;
}

bool ConVar::HasAnyFlag(uint32_t nMask) {
    return (m_pIdentity->m_nFlagBits & nMask) != 0;
}

void ConVar::MergeFlags(uint32_t nMask) {
    m_pIdentity->m_nFlagBits |= nMask;
}

const char* ConVar::ObjectName() {
    return m_pIdentity->m_pszObjectName;
}

const char* ConVar::ObjectHelp() {
    return m_pIdentity->m_pszHelpText;
}

bool ConVar::WasAcceptedByService() {
    return m_pIdentity->m_bAcceptedByService;
}

void ConVar::AssignFromText(const char* pszValue) {
    const float flPreviousValue = m_flNumber;
    float flValue = ConsoleTextToNumber(pszValue);
    char szLimited[NUMBER_TEXT_SIZE];
    const char* pszNewText = pszValue;
    if (LimitToRange(flValue)) {
        FormatToBuffer(szLimited, NUMBER_TEXT_SIZE, "%f", static_cast<double>(flValue));
        pszNewText = szLimited;
    }
    m_flNumber = flValue;
    m_nInteger = ConsoleNumberToInteger(flValue);
    if ((m_nFlagBits & CONSOLE_FLAG_NUMERIC_ONLY) != 0) {
        return;
    }
    ReplaceText(pszNewText, flPreviousValue);
}

void ConVar::AssignFromFloat(float flValue) {
    // Compared before limiting: a value beyond the bound the variable sits on is reported again.
    if (flValue == m_flNumber) {
        return;
    }
    LimitToRange(flValue);
    const float flPreviousValue = m_flNumber;
    m_flNumber = flValue;
    m_nInteger = ConsoleNumberToInteger(flValue);
    if ((m_nFlagBits & CONSOLE_FLAG_NUMERIC_ONLY) != 0) {
        return;
    }
    char szText[NUMBER_TEXT_SIZE];
    FormatToBuffer(szText, NUMBER_TEXT_SIZE, "%f", static_cast<double>(flValue));
    ReplaceText(szText, flPreviousValue);
}

void ConVar::AssignFromInteger(int32_t nValue) {
    if (nValue == m_nInteger) {
        return;
    }
    // An integer that needs no limiting is kept exactly, even where its float is not.
    float flValue = static_cast<float>(nValue);
    if (LimitToRange(flValue)) {
        nValue = ConsoleNumberToInteger(flValue);
    }
    const float flPreviousValue = m_flNumber;
    m_nInteger = nValue;
    m_flNumber = flValue;
    if ((m_nFlagBits & CONSOLE_FLAG_NUMERIC_ONLY) != 0) {
        return;
    }
    char szText[NUMBER_TEXT_SIZE];
    FormatToBuffer(szText, NUMBER_TEXT_SIZE, "%d", nValue);
    ReplaceText(szText, flPreviousValue);
}

bool ConVar::LimitToRange(float& flValue) {
    if (m_bHasLowerBound && m_flLowerBound > flValue) {
        flValue = m_flLowerBound;
        return true;
    }
    if (m_bHasUpperBound && m_flUpperBound < flValue) {
        flValue = m_flUpperBound;
        return true;
    }
    return false;
}

void ConVar::ReplaceText(const char* pszValue, float flPreviousValue) {
    const size_t nNeeded = std::strlen(pszValue) + 1;
    const size_t nPrevious = std::strlen(m_pszText) + 1;
    const size_t nCapacity = static_cast<size_t>(m_nTextCapacity);
    char szPreviousText[PREVIOUS_TEXT_COPY_SIZE];
    const char* pszPreviousText = szPreviousText;
    char* pReleaseAfterwards = nullptr;
    if (nNeeded <= nCapacity && nPrevious <= sizeof(szPreviousText)) {
        std::memcpy(szPreviousText, m_pszText, nPrevious);
        // The new text may be this very buffer's text, or part of it.
        std::memmove(m_pszText, pszValue, nNeeded);
    } else {
        // Allocated before anything changes, so a failure leaves the variable as it was: the old
        // text, and the numbers back at the previous value.
        char* pNewText = AllocateText(nNeeded > nCapacity ? nNeeded : nCapacity);
        if (pNewText == nullptr) {
            m_flNumber = flPreviousValue;
            m_nInteger = ConsoleNumberToInteger(flPreviousValue);
            return;
        }
        std::memcpy(pNewText, pszValue, nNeeded);
        // The old buffer serves as the previous text until the listeners are done with it.
        pszPreviousText = m_pszText;
        if (m_nTextCapacity > 0) {
            pReleaseAfterwards = m_pszText;
        }
        m_nTextCapacity = static_cast<int32_t>(nNeeded > nCapacity ? nNeeded : nCapacity);
        m_pszText = pNewText;
    }
    if (m_pfnOnChanged != nullptr) {
        m_pfnOnChanged(this, pszPreviousText, flPreviousValue);
    }
    // Without a service there is nobody to tell.
    if (g_pCVar != nullptr) {
        g_pCVar->NotifyGlobalChangeCallbacks(this, pszPreviousText, flPreviousValue);
    }
    if (pReleaseAfterwards != nullptr) {
        ReleaseBlock(pReleaseAfterwards);
    }
}

void ConVar::SetUpVariable(const char* pszName, const char* pszDefaultText, uint32_t nFlags,
                           const char* pszHelpText, bool bHasLowerBound, float flLowerBound,
                           bool bHasUpperBound, float flUpperBound,
                           VariableChangedCallback pfnOnChanged) {
    m_pIdentity = this;
    m_pszDefaultText = pszDefaultText != nullptr ? pszDefaultText : "";
    // A buffer of an earlier set-up is given back, not lost.
    char* pEarlierText = m_nTextCapacity > 0 ? m_pszText : nullptr;
    const size_t nSize = std::strlen(m_pszDefaultText) + 1;
    if (char* pText = AllocateText(nSize)) {
        std::memcpy(pText, m_pszDefaultText, nSize);
        m_pszText = pText;
        m_nTextCapacity = static_cast<int32_t>(nSize);
    } else {
        // Without a buffer of its own the variable shows the default text itself, borrowed
        // (capacity 0), until an assignment finds room for a copy; nothing writes through it.
        m_pszText = const_cast<char*>(m_pszDefaultText);
        m_nTextCapacity = 0;
    }
    if (pEarlierText != nullptr) {
        ReleaseBlock(pEarlierText);
    }
    m_bHasLowerBound = bHasLowerBound;
    m_flLowerBound = flLowerBound;
    m_bHasUpperBound = bHasUpperBound;
    m_flUpperBound = flUpperBound;
    m_pfnOnChanged = pfnOnChanged;
    m_flNumber = ConsoleTextToNumber(m_pszText);
    m_nInteger = ConsoleNumberToInteger(m_flNumber);
    // The value is complete before the object can be submitted.
    ConCommandBase::SetUpObject(pszName, pszHelpText, nFlags);
}

void ConVar::SetFromInteger(int32_t nValue) {
    m_pIdentity->AssignFromInteger(nValue);
}

void ConVar::SetFromFloat(float flValue) {
    m_pIdentity->AssignFromFloat(flValue);
}

void ConVar::SetFromText(const char* pszValue) {
    m_pIdentity->AssignFromText(pszValue);
}

CEmptyConVar::CEmptyConVar() : ConVar("", "0", 0, nullptr) {}

CEmptyConVar::~CEmptyConVar() = default;

bool CEmptyConVar::HasAnyFlag(uint32_t /*nMask*/) {
    return false;
}

const char* CEmptyConVar::ObjectName() {
    return "";
}

void CEmptyConVar::SetFromInteger(int32_t /*nValue*/) {}

void CEmptyConVar::SetFromFloat(float /*flValue*/) {}

void CEmptyConVar::SetFromText(const char* /*pszValue*/) {}

void ConstructEmptyVariable() {
    g_EmptyVariable.Construct();
}

void DestroyEmptyVariable() {
    g_EmptyVariable.Destroy();
}

// The host reads these fields at fixed offsets, behind the ConCommandBase fields and the facet's
// table pointer; a layout change must fail the build, not the server. Offsets for 32-bit and
// 64-bit pointers.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
static_assert(offsetof(ConVar, m_pIdentity) == HostOffset(28, 56));
static_assert(offsetof(ConVar, m_pszDefaultText) == HostOffset(32, 64));
static_assert(offsetof(ConVar, m_pszText) == HostOffset(36, 72));
static_assert(offsetof(ConVar, m_nTextCapacity) == HostOffset(40, 80));
static_assert(offsetof(ConVar, m_flNumber) == HostOffset(44, 84));
static_assert(offsetof(ConVar, m_nInteger) == HostOffset(48, 88));
static_assert(offsetof(ConVar, m_bHasLowerBound) == HostOffset(52, 92));
static_assert(offsetof(ConVar, m_flLowerBound) == HostOffset(56, 96));
static_assert(offsetof(ConVar, m_bHasUpperBound) == HostOffset(60, 100));
static_assert(offsetof(ConVar, m_flUpperBound) == HostOffset(64, 104));
static_assert(offsetof(ConVar, m_pfnOnChanged) == HostOffset(68, 112));
static_assert(sizeof(ConVar) == HostOffset(72, 120));
static_assert(sizeof(CEmptyConVar) == sizeof(ConVar), "the empty variable adds no data");
#pragma GCC diagnostic pop
