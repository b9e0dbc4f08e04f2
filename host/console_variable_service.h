// The host's console-variable service as the module sees it: four operations, called by position.
#pragma once

#include <cstdint>

#define CONSOLE_VARIABLE_SERVICE_INTERFACE_NAME "VEngineCvar004"
#define PROCESS_UTILITIES_INTERFACE_NAME "VProcessUtils001"

class ConCommandBase;
class ConVar;

class ConsoleVariableService {
public:
    virtual void Unused00() = 0;                                         //  0
    virtual void Unused01() = 0;                                         //  1
    virtual void Unused02() = 0;                                         //  2
    virtual void Unused03() = 0;                                         //  3
    virtual void Unused04() = 0;                                         //  4
    virtual int32_t AllocateModuleIdentifier() = 0;                      //  5
    virtual void RegisterConsoleObject(ConCommandBase* pObject) = 0;     //  6
    virtual void Unused07() = 0;                                         //  7
    virtual void UnregisterModuleObjects(int32_t nModuleIdentifier) = 0; //  8
    virtual void Unused09() = 0;                                         //  9
    virtual void Unused10() = 0;                                         // 10
    virtual void Unused11() = 0;                                         // 11
    virtual void Unused12() = 0;                                         // 12
    virtual void Unused13() = 0;                                         // 13
    virtual void Unused14() = 0;                                         // 14
    virtual void Unused15() = 0;                                         // 15
    virtual void Unused16() = 0;                                         // 16
    virtual void Unused17() = 0;                                         // 17
    virtual void Unused18() = 0;                                         // 18
    virtual void Unused19() = 0;                                         // 19
    virtual void NotifyGlobalChangeCallbacks(ConVar* pVariable, const char* pszPreviousText,
                                             float flPreviousValue) = 0; // 20

protected:
    ~ConsoleVariableService() = default;
};
