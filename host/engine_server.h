// The engine-server interface as the module sees it. The host calls nothing here; the module calls
// one operation by its position in the host's table, so every earlier entry is a placeholder.
#pragma once

#define ENGINE_SERVER_INTERFACE_NAME "VEngineServer021"

class EngineServerInterface {
public:
    virtual void Unused00() = 0; //  0
    virtual void Unused01() = 0; //  1
    virtual void Unused02() = 0; //  2
    virtual void Unused03() = 0; //  3
    virtual void Unused04() = 0; //  4
    virtual void Unused05() = 0; //  5
    virtual void Unused06() = 0; //  6
    virtual void Unused07() = 0; //  7
    virtual void Unused08() = 0; //  8
    virtual void Unused09() = 0; //  9
    virtual void Unused10() = 0; // 10
    virtual void Unused11() = 0; // 11
    virtual void Unused12() = 0; // 12
    virtual void Unused13() = 0; // 13
    virtual void Unused14() = 0; // 14
    virtual void Unused15() = 0; // 15
    virtual void Unused16() = 0; // 16
    virtual void Unused17() = 0; // 17
    virtual void Unused18() = 0; // 18
    virtual void Unused19() = 0; // 19
    virtual void Unused20() = 0; // 20
    virtual void Unused21() = 0; // 21
    virtual void Unused22() = 0; // 22
    virtual void Unused23() = 0; // 23
    virtual void Unused24() = 0; // 24
    virtual void Unused25() = 0; // 25
    virtual void Unused26() = 0; // 26
    virtual void Unused27() = 0; // 27
    virtual void Unused28() = 0; // 28
    virtual void Unused29() = 0; // 29
    virtual void Unused30() = 0; // 30
    virtual void Unused31() = 0; // 31
    virtual void Unused32() = 0; // 32
    virtual void Unused33() = 0; // 33
    virtual void Unused34() = 0; // 34
    virtual void Unused35() = 0; // 35
    // Runs pszCommand as if typed at the server console. The module always ends it with a newline.
    virtual void IssueServerCommand(const char* pszCommand) = 0; // 36

protected:
    ~EngineServerInterface() = default;
};
