// Process plumbing for the tavrel-send tests on Windows: CreateProcess with files for the streams,
// and a one-instance named pipe whose instance a client of ours already holds.
#include "tests/tools/send_test_support.h"

#include "platform/tools/win32/command_line.h"

#include <cctype>
#include <fstream>
#include <sstream>
#include <windows.h>

namespace {

HANDLE ToHandle(intptr_t nHandle) {
    return reinterpret_cast<HANDLE>(nHandle);
}

std::string ReadText(const std::string& strPath) {
    std::ifstream file(strPath, std::ios::binary);
    std::ostringstream contents;
    contents << file.rdbuf();
    // The tests compare lines, not the platform's line breaks.
    std::string strText;
    for (char c : contents.str()) {
        if (c == '\n' && !strText.empty() && strText.back() == '\r') {
            strText.back() = '\n';
        } else {
            strText += c;
        }
    }
    return strText;
}

bool WriteBytes(const std::string& strPath, const std::string& strContents) {
    std::ofstream file(strPath, std::ios::binary);
    file << strContents;
    return static_cast<bool>(file);
}

bool IsPipeVariable(const char* pszEntry) {
    static const char PREFIX[] = "TAVREL_PIPE=";
    for (size_t i = 0; i + 1 < sizeof(PREFIX); ++i) {
        // Windows' variable names ignore case.
        if (std::toupper(static_cast<unsigned char>(pszEntry[i])) != PREFIX[i]) {
            return false;
        }
    }
    return true;
}

// Ours without TAVREL_PIPE, then the additions: "NAME=value\0...\0\0".
std::string EnvironmentBlock(const std::vector<std::string>& additions) {
    std::string strBlock;
    char* pszStrings = GetEnvironmentStringsA();
    for (const char* pszEntry = pszStrings; pszEntry != nullptr && *pszEntry != '\0';
         pszEntry += std::char_traits<char>::length(pszEntry) + 1) {
        if (!IsPipeVariable(pszEntry)) {
            strBlock.append(pszEntry).push_back('\0');
        }
    }
    FreeEnvironmentStringsA(pszStrings);
    for (const std::string& strEntry : additions) {
        strBlock.append(strEntry).push_back('\0');
    }
    strBlock.push_back('\0');
    return strBlock;
}

HANDLE OpenInheritable(const std::string& strPath, bool bWrite) {
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return CreateFileA(strPath.c_str(), bWrite ? GENERIC_WRITE : GENERIC_READ, FILE_SHARE_READ,
                       &inheritable, bWrite ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

} // namespace

CChildProcess::~CChildProcess() {
    Kill();
    if (m_strDirectory.empty()) {
        return;
    }
    // Wine closes an ended child's handles a moment after it reports the end, and until then the
    // files cannot be deleted. Give it a while; a leftover directory harms nothing but the disk.
    for (const char* pszName : {"stdin", "stdout", "stderr"}) {
        const std::string strPath = m_strDirectory + "\\" + pszName;
        for (int nTry = 0; nTry < 200 && !DeleteFileA(strPath.c_str()) &&
                           GetLastError() == ERROR_SHARING_VIOLATION;
             ++nTry) {
            Sleep(10);
        }
    }
    RemoveDirectoryA(m_strDirectory.c_str());
}

bool CChildProcess::Start(const std::string& strProgram, const std::vector<std::string>& arguments,
                          const std::string& strStdin,
                          const std::vector<std::string>& environment) {
    char szTemp[MAX_PATH + 1];
    DWORD nTempLength = GetTempPathA(sizeof(szTemp), szTemp);
    if (nTempLength == 0 || nTempLength > MAX_PATH) {
        return false;
    }
    // Not named after the process: Wine soon reuses process ids, and an earlier run may have left
    // its directory behind.
    const std::string strDirectory = std::string(szTemp) + UniquePipeName("streams");
    if (!CreateDirectoryA(strDirectory.c_str(), nullptr)) {
        return false;
    }
    m_strDirectory = strDirectory;
    const std::string strIn = m_strDirectory + "\\stdin";
    if (!WriteBytes(strIn, strStdin)) {
        return false;
    }
    HANDLE streams[3] = {OpenInheritable(strIn, false),
                         OpenInheritable(m_strDirectory + "\\stdout", true),
                         OpenInheritable(m_strDirectory + "\\stderr", true)};
    bool bStreamsOpen = true;
    for (HANDLE hStream : streams) {
        bStreamsOpen = bStreamsOpen && hStream != INVALID_HANDLE_VALUE;
    }

    std::string strCommandLine;
    AppendQuotedArgument(&strCommandLine, strProgram);
    for (const std::string& strArgument : arguments) {
        AppendQuotedArgument(&strCommandLine, strArgument);
    }
    std::string strPath = strProgram;
    for (char& c : strPath) {
        c = c == '/' ? '\\' : c;
    }
    std::string strEnvironment = EnvironmentBlock(environment);

    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = streams[0];
    startup.hStdOutput = streams[1];
    startup.hStdError = streams[2];
    PROCESS_INFORMATION process{};
    bool bStarted = bStreamsOpen && CreateProcessA(strPath.c_str(), &strCommandLine[0], nullptr,
                                                   nullptr, TRUE, CREATE_NO_WINDOW,
                                                   &strEnvironment[0], nullptr, &startup, &process);
    for (HANDLE hStream : streams) {
        if (hStream != INVALID_HANDLE_VALUE) {
            CloseHandle(hStream);
        }
    }
    if (!bStarted) {
        return false;
    }
    CloseHandle(process.hThread);
    m_nProcess = reinterpret_cast<intptr_t>(process.hProcess);
    return true;
}

bool CChildProcess::HasExited() {
    if (m_nProcess == -1 || m_bExited) {
        return true;
    }
    m_bExited = WaitForSingleObject(ToHandle(m_nProcess), 0) == WAIT_OBJECT_0;
    return m_bExited;
}

ProcessResult CChildProcess::Wait() {
    ProcessResult result;
    if (m_nProcess == -1) {
        return result;
    }
    WaitForSingleObject(ToHandle(m_nProcess), INFINITE);
    m_bExited = true;
    DWORD nExitCode = 0;
    GetExitCodeProcess(ToHandle(m_nProcess), &nExitCode);
    m_nStatus = static_cast<int>(nExitCode);
    result.m_nExitCode = m_nStatus;
    result.m_strStdout = ReadText(m_strDirectory + "\\stdout");
    result.m_strStderr = ReadText(m_strDirectory + "\\stderr");
    return result;
}

void CChildProcess::Kill() {
    if (m_nProcess == -1) {
        return;
    }
    if (!HasExited()) {
        TerminateProcess(ToHandle(m_nProcess), 1);
        Wait();
    }
    CloseHandle(ToHandle(m_nProcess));
    m_nProcess = -1;
}

CBusyPipe::~CBusyPipe() {
    if (m_hQueued != -1) {
        CloseHandle(ToHandle(m_hQueued));
    }
    if (m_hServer != -1) {
        CloseHandle(ToHandle(m_hServer));
    }
}

bool CBusyPipe::Hold(const std::string& strPipeName) {
    const std::string strFullName = "\\\\.\\pipe\\" + strPipeName;
    HANDLE hServer = CreateNamedPipeA(strFullName.c_str(), PIPE_ACCESS_INBOUND,
                                      PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_NOWAIT, 1, 0,
                                      1024, 0, nullptr);
    if (hServer == INVALID_HANDLE_VALUE) {
        return false;
    }
    m_hServer = reinterpret_cast<intptr_t>(hServer);
    ConnectNamedPipe(hServer, nullptr);
    // The one instance goes to our own client.
    HANDLE hQueued =
        CreateFileA(strFullName.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (hQueued == INVALID_HANDLE_VALUE) {
        return false;
    }
    m_hQueued = reinterpret_cast<intptr_t>(hQueued);
    // Prove the pipe is busy before the test relies on it.
    HANDLE hProbe =
        CreateFileA(strFullName.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (hProbe != INVALID_HANDLE_VALUE) {
        CloseHandle(hProbe);
        return false;
    }
    return GetLastError() == ERROR_PIPE_BUSY;
}
