// Console variables: a value held as text, 32-bit float and signed 32-bit integer at once, kept
// within optional bounds, with every change of its text reported to the variable's own callback
// and then to the console-variable service. The service reaches a variable through its
// ConCommandBase operations, extended by the value operations below, and through its IConVar
// facet. Host thread only; nothing guards against re-entry, so a listener may assign again.
#pragma once

#include "console/console_object.h"
#include "runtime/static_object.h"

#include <cstdint>

// The small interface through which values are set from outside. A change callback receives the
// changed variable through it.
class IConVar {
public:
    virtual void SetFromInteger(int32_t nValue) = 0;    // 0
    virtual void SetFromFloat(float flValue) = 0;       // 1
    virtual void SetFromText(const char* pszValue) = 0; // 2
    virtual const char* ObjectName() = 0;               // 3
    virtual bool HasAnyFlag(uint32_t nMask) = 0;        // 4

protected:
    ~IConVar() = default;
};

// pszPreviousText lives only for the call. The variable's numbers already hold the new value.
using VariableChangedCallback = void (*)(IConVar* pVariable, const char* pszPreviousText,
                                         float flPreviousValue);

// Primary table: the ConCommandBase operations, then the variable's own.
class ConVar : public ConCommandBase, public IConVar {
public:
    // No bounds and no callback. Allocates the value text from the host allocator.
    ConVar(const char* pszName, const char* pszDefaultText, uint32_t nFlags,
           const char* pszHelpText);

    // Positions, Linux | Windows. The destructor releases the value text; it neither unlinks nor
    // unregisters. The identity operations (HasAnyFlag to WasAcceptedByService) act on the
    // variable m_pIdentity names; OwningModuleIdentifier, SetUpObject and SubmitToAccessor (8 to
    // 10 | 7 to 9) are the base's. The value operations act on this variable's own fields and
    // flags; texts are never null. LimitToRange moves the value onto a bound it lies beyond and
    // answers whether it did (a NaN stays); ReplaceText stores the text, then tells the callback
    // and the service. Each facet setter assigns the identity variable. On Linux the setters also
    // take primary entries, after the specified ones.
    DECLARE_HOST_DESTRUCTOR(ConVar);                                       //  0 and 1 | 0
    bool ActsAsCommand() override;                                         //  2 | 1
    bool HasAnyFlag(uint32_t nMask) override;                              //  3 | 2
    void MergeFlags(uint32_t nMask) override;                              //  4 | 3
    const char* ObjectName() override;                                     //  5 | 4
    const char* ObjectHelp() override;                                     //  6 | 5
    bool WasAcceptedByService() override;                                  //  7 | 6
    virtual void AssignFromText(const char* pszValue);                     // 11 | 10
    virtual void AssignFromFloat(float flValue);                           // 12 | 11
    virtual void AssignFromInteger(int32_t nValue);                        // 13 | 12
    virtual bool LimitToRange(float& flValue);                             // 14 | 13
    virtual void ReplaceText(const char* pszValue, float flPreviousValue); // 15 | 14
    virtual void SetUpVariable(const char* pszName, const char* pszDefaultText, uint32_t nFlags,
                               const char* pszHelpText, bool bHasLowerBound, float flLowerBound,
                               bool bHasUpperBound, float flUpperBound,
                               VariableChangedCallback pfnOnChanged); // 16 | 15
    void SetFromInteger(int32_t nValue) override;                     // 17 | -
    void SetFromFloat(float flValue) override;                        // 18 | -
    void SetFromText(const char* pszValue) override;                  // 19 | -

    // Read by the host at their offsets, following the ConCommandBase fields and the facet.
    ConVar* m_pIdentity;          // the variable itself; the module never changes it
    const char* m_pszDefaultText; // borrowed; read only at set-up
    char* m_pszText;              // never null; owned unless m_nTextCapacity is 0
    int32_t m_nTextCapacity;      // bytes of m_pszText, terminator included
    float m_flNumber;
    int32_t m_nInteger;
    bool m_bHasLowerBound;
    float m_flLowerBound;
    bool m_bHasUpperBound;
    float m_flUpperBound;
    VariableChangedCallback m_pfnOnChanged; // or null
};

// Answers with an empty name, has no flags, and ignores values set through its facet. Values
// assigned through the primary table still change it.
class CEmptyConVar : public ConVar {
public:
    // Name "", default text "0", flags 0, no help text.
    CEmptyConVar();

    DECLARE_HOST_DESTRUCTOR(CEmptyConVar);
    bool HasAnyFlag(uint32_t nMask) override;
    const char* ObjectName() override;
    void SetFromInteger(int32_t nValue) override;
    void SetFromFloat(float flValue) override;
    void SetFromText(const char* pszValue) override;
};

// Text to number: leading white space, an optional sign, decimal digits with an optional point
// and exponent, as a double rounded to the nearest float; 0 when the text does not start with a
// number.
float ConsoleTextToNumber(const char* pszText);

// Truncation toward zero. The cases C++ leaves undefined are fixed: NaN gives 0, and values
// beyond the signed 32-bit range give its nearest end.
int32_t ConsoleNumberToInteger(float flValue);

// The module's empty variable. The start-up routine constructs it right after the plug-in's
// version variable and destroys it before that one.
extern CStaticObject<CEmptyConVar> g_EmptyVariable;

void ConstructEmptyVariable();
void DestroyEmptyVariable();
