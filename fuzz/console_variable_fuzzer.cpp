// A console variable under arbitrary set-ups and assignments (texts, floats, integers, bounds,
// the numeric-only flag, failed allocations): its text stays terminated inside its capacity, the
// capacity never shrinks between set-ups, every notification carries the text and value from
// before its change, and destruction gives every block back.
#include "console/console_object.h"
#include "console/console_variable.h"
#include "tier0/tier0_control.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

namespace {

struct ByteReader {
    const uint8_t* m_pData;
    size_t m_nSize;
    template <class T> T Take() {
        T value{};
        const size_t nTaken = m_nSize < sizeof(T) ? m_nSize : sizeof(T);
        std::memcpy(&value, m_pData, nTaken);
        m_pData += nTaken;
        m_nSize -= nTaken;
        return value;
    }
    // Up to 63 bytes, cut at a NUL as any C text is.
    std::string Text() {
        const size_t nLength = Take<uint8_t>() % 64;
        const size_t nTaken = nLength < m_nSize ? nLength : m_nSize;
        std::string text(reinterpret_cast<const char*>(m_pData), nTaken);
        m_pData += nTaken;
        m_nSize -= nTaken;
        return text.substr(0, text.find('\0'));
    }
};

void Check(bool bCondition) {
    if (!bCondition) {
        std::abort();
    }
}

bool SameNumber(float flA, float flB) {
    return std::memcmp(&flA, &flB, sizeof(float)) == 0 || (std::isnan(flA) && std::isnan(flB));
}

ConVar* g_pVariable = nullptr;
std::string g_PreviousText;
float g_flPreviousNumber = 0.0f;

void OnChanged(IConVar* pVariable, const char* pszPreviousText, float flPreviousValue) {
    Check(pVariable == static_cast<IConVar*>(g_pVariable));
    Check(pszPreviousText != nullptr && g_PreviousText == pszPreviousText);
    Check(SameNumber(flPreviousValue, g_flPreviousNumber));
    // A later notification in the same assignment would start from here.
    g_PreviousText = g_pVariable->m_pszText;
    g_flPreviousNumber = g_pVariable->m_flNumber;
}

void CheckText(const ConVar& variable) {
    Check(variable.m_pszText != nullptr);
    if (variable.m_nTextCapacity > 0) {
        Check(std::memchr(variable.m_pszText, '\0',
                          static_cast<size_t>(variable.m_nTextCapacity)) != nullptr);
    }
}

void SetUp(ConVar& variable, ByteReader& reader, const std::string& defaultText) {
    const uint8_t nChoice = reader.Take<uint8_t>();
    // Unlisted, so no registration list keeps the object past this input.
    const uint32_t nFlags =
        CONSOLE_FLAG_UNLISTED | ((nChoice & 1) != 0 ? CONSOLE_FLAG_NUMERIC_ONLY : 0);
    const float flLower = reader.Take<float>();
    const float flUpper = reader.Take<float>();
    variable.SetUpVariable("fuzz_variable", defaultText.c_str(), nFlags, "fuzzed",
                           (nChoice & 2) != 0, flLower, (nChoice & 4) != 0, flUpper, &OnChanged);
    CheckText(variable);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    ByteReader reader{pData, nSize};
    const int32_t nBlocksBefore = Tier0_GetLiveBlockCount();
    const std::string defaultText = reader.Text();
    alignas(ConVar) unsigned char storage[sizeof(ConVar)];
    ConVar* pVariable =
        new (storage) ConVar("fuzz_variable", defaultText.c_str(), CONSOLE_FLAG_UNLISTED, "fuzzed");
    g_pVariable = pVariable;
    SetUp(*pVariable, reader, defaultText);

    while (reader.m_nSize > 0) {
        g_PreviousText = pVariable->m_pszText;
        g_flPreviousNumber = pVariable->m_flNumber;
        const int32_t nCapacityBefore = pVariable->m_nTextCapacity;
        const uint8_t nOperation = reader.Take<uint8_t>();
        IConVar* pFacet = pVariable;
        switch (nOperation % 8) {
        case 0:
            pVariable->AssignFromText(reader.Text().c_str());
            break;
        case 1:
            pVariable->AssignFromFloat(reader.Take<float>());
            break;
        case 2:
            pVariable->AssignFromInteger(reader.Take<int32_t>());
            break;
        case 3:
            pFacet->SetFromText(reader.Text().c_str());
            break;
        case 4:
            pFacet->SetFromFloat(reader.Take<float>());
            break;
        case 5:
            pFacet->SetFromInteger(reader.Take<int32_t>());
            break;
        case 6:
            Tier0_FailNextAllocations(reader.Take<uint8_t>() % 3);
            break;
        default:
            SetUp(*pVariable, reader, defaultText);
            continue;
        }
        CheckText(*pVariable);
        Check(pVariable->m_nTextCapacity >= nCapacityBefore);
    }
    Tier0_FailNextAllocations(0);
    pVariable->~ConVar();
    g_pVariable = nullptr;
    Check(Tier0_GetLiveBlockCount() == nBlocksBefore);
    return 0;
}
