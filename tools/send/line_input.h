// Standard input as lines that arrive over time, for tavrel-send's interactive and streaming
// modes: each line is handed over as soon as it is whole, and the modes can ask whether another
// one is already waiting.
#pragma once

#include <cstdint>
#include <string>

#include "platform/tools/standard_input.h"

enum class LineRead {
    Line,        // the next line, without its line break
    End,         // the input has ended and every line has been read
    Interrupted, // Ctrl-C ended the wait (only once CatchInterrupts was called)
    Failed,      // the input could not be read
};

// What the line modes read. The real one is CLineReader over standard input; tests script one.
class ILineInput {
public:
    virtual ~ILineInput() = default;
    // Waits for the next whole line.
    virtual LineRead ReadLine(std::string* pstrLine) = 0;
    // True when ReadLine would return at once; never waits.
    virtual bool LineWaiting() = 0;
};

// The raw input a CLineReader splits: the platform's standard input, or a script in tests.
class IInputChunks {
public:
    virtual ~IInputChunks() = default;
    virtual InputRead Read(char* pBuffer, uint32_t nMaxBytes, uint32_t* pnRead) = 0;
    virtual bool Ready() = 0;
};

IInputChunks& SystemStandardInput();

// Splits input as the batch does: "\n" ends a line, one "\r" before it is dropped, and a last
// line without a line break counts at the end of the input. Lines may hold any byte.
class CLineReader final : public ILineInput {
public:
    explicit CLineReader(IInputChunks& chunks) : m_Chunks(chunks) {}

    LineRead ReadLine(std::string* pstrLine) override;
    bool LineWaiting() override;

private:
    // Reads one chunk into m_strPending; false when Ctrl-C ended the wait.
    bool ReadChunk();
    bool TakeLine(std::string* pstrLine);

    IInputChunks& m_Chunks;
    std::string m_strPending; // bytes read but not yet handed over
    bool m_bEnded = false;
    bool m_bFailed = false; // a failed read ends the input once the lines before it are taken
};
