// Splitting standard input into lines as they arrive.
#include "tools/send/line_input.h"

#include "tools/send/message_batch.h"

namespace {

class CSystemStandardInput final : public IInputChunks {
public:
    InputRead Read(char* pBuffer, uint32_t nMaxBytes, uint32_t* pnRead) override {
        return ReadStandardInput(pBuffer, nMaxBytes, pnRead);
    }
    bool Ready() override { return StandardInputReady(); }
};

} // namespace

IInputChunks& SystemStandardInput() {
    static CSystemStandardInput s_Input;
    return s_Input;
}

LineRead CLineReader::ReadLine(std::string* pstrLine) {
    while (!TakeLine(pstrLine)) {
        if (m_bFailed) {
            return LineRead::Failed;
        }
        if (m_bEnded) {
            return LineRead::End;
        }
        if (!ReadChunk()) {
            return LineRead::Interrupted;
        }
    }
    return LineRead::Line;
}

bool CLineReader::LineWaiting() {
    // A partial line is not enough: holding a connection for it could keep others waiting.
    while (m_strPending.find('\n') == std::string::npos && !m_bEnded && !m_bFailed) {
        if (!m_Chunks.Ready() || !ReadChunk()) {
            return false;
        }
    }
    return true;
}

bool CLineReader::ReadChunk() {
    char buffer[4096];
    uint32_t nRead = 0;
    switch (m_Chunks.Read(buffer, sizeof(buffer), &nRead)) {
    case InputRead::Data:
        m_strPending.append(buffer, nRead);
        return true;
    case InputRead::End:
        m_bEnded = true;
        return true;
    case InputRead::Interrupted:
        return false;
    case InputRead::Failed:
        m_bFailed = true;
        return true;
    }
    return true;
}

bool CLineReader::TakeLine(std::string* pstrLine) {
    size_t nBreak = m_strPending.find('\n');
    if (nBreak == std::string::npos) {
        // What is left at the end is the last line; after a failed read it is cut short, so no.
        if (!m_bEnded || m_bFailed || m_strPending.empty()) {
            return false;
        }
        nBreak = m_strPending.size();
    }
    *pstrLine = LineText(m_strPending, 0, nBreak);
    m_strPending.erase(0, nBreak < m_strPending.size() ? nBreak + 1 : nBreak);
    return true;
}
