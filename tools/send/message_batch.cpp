// Splitting input into messages and vetting them.
#include "tools/send/message_batch.h"

#include <cstdio>
#include <utility>

#include "plugin/command_protocol.h"

namespace {

constexpr size_t PREVIEW_BYTES = 24;

// The first bytes of a message, quoted, with anything unprintable escaped so the error line stays
// one readable line.
std::string Preview(const std::string& strMessage) {
    std::string strPreview = "\"";
    size_t nShown = strMessage.size() < PREVIEW_BYTES ? strMessage.size() : PREVIEW_BYTES;
    for (size_t i = 0; i < nShown; ++i) {
        unsigned char c = static_cast<unsigned char>(strMessage[i]);
        if (c == '"' || c == '\\') {
            strPreview += '\\';
            strPreview += static_cast<char>(c);
        } else if (c == '\0') {
            strPreview += "\\0";
        } else if (c < 0x20 || c >= 0x7f) {
            char szEscape[8];
            std::snprintf(szEscape, sizeof(szEscape), "\\x%02x", c);
            strPreview += szEscape;
        } else {
            strPreview += static_cast<char>(c);
        }
    }
    strPreview += '"';
    if (nShown < strMessage.size()) {
        strPreview += "...";
    }
    return strPreview;
}

} // namespace

MessageBatch BatchFromCommands(const std::vector<std::string>& commands) {
    MessageBatch batch;
    for (size_t i = 0; i < commands.size(); ++i) {
        if (!commands[i].empty()) {
            batch.m_Messages.push_back(commands[i]);
            batch.m_Origins.push_back(i + 1);
        }
    }
    return batch;
}

std::string LineText(const std::string& strInput, size_t nStart, size_t nEnd) {
    if (nEnd > nStart && strInput[nEnd - 1] == '\r') {
        --nEnd;
    }
    return strInput.substr(nStart, nEnd - nStart);
}

MessageBatch BatchFromInput(const std::string& strInput) {
    MessageBatch batch;
    batch.m_bFromInputLines = true;
    size_t nLine = 0;
    size_t nStart = 0;
    while (nStart < strInput.size()) {
        ++nLine;
        size_t nEnd = strInput.find('\n', nStart);
        size_t nNext = nEnd == std::string::npos ? strInput.size() : nEnd + 1;
        if (nEnd == std::string::npos) {
            nEnd = strInput.size();
        }
        std::string strLine = LineText(strInput, nStart, nEnd);
        if (!strLine.empty()) {
            batch.m_Messages.push_back(std::move(strLine));
            batch.m_Origins.push_back(nLine);
        }
        nStart = nNext;
    }
    return batch;
}

std::string FindBadMessage(const MessageBatch& batch) {
    for (size_t i = 0; i < batch.m_Messages.size(); ++i) {
        const std::string& strMessage = batch.m_Messages[i];
        std::string strWhat;
        if (strMessage.size() > COMMAND_MESSAGE_MAX) {
            strWhat = " is " + std::to_string(strMessage.size()) + " bytes long, more than " +
                      std::to_string(COMMAND_MESSAGE_MAX);
        } else if (strMessage.find('\0') != std::string::npos) {
            strWhat = " holds a NUL byte";
        } else {
            continue;
        }
        return (batch.m_bFromInputLines ? "line " : "command ") +
               std::to_string(batch.m_Origins[i]) + " " + Preview(strMessage) + strWhat;
    }
    return std::string();
}
