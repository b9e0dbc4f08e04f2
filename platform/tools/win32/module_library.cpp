// Module loading on Windows: the system loader, and the executable's own file name.
#include "platform/tools/module_library.h"

#include "platform/tools/win32/system_error.h"

#include <windows.h>

namespace {

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

} // namespace

ModuleLibraryHandle LoadModuleLibrary(const char* pszPath, std::string* pError) {
    // The loader wants backslashes, and searches its path for a bare name; a server means the
    // file it was given.
    std::string path = pszPath;
    bool bHasDirectory = false;
    for (char& c : path) {
        if (IsSeparator(c) || c == ':') {
            bHasDirectory = true;
        }
        if (c == '/') {
            c = '\\';
        }
    }
    if (!bHasDirectory) {
        path.insert(0, ".\\");
    }
    // A file that is not a module must be an error result, never a dialog on the server's screen.
    DWORD nOldMode = 0;
    SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &nOldMode);
    HMODULE hLibrary = LoadLibraryA(path.c_str());
    DWORD nError = GetLastError();
    SetThreadErrorMode(nOldMode, nullptr);
    if (hLibrary == nullptr && pError != nullptr) {
        *pError = SystemErrorText(nError);
    }
    return hLibrary;
}

void* FindModuleSymbol(ModuleLibraryHandle hLibrary, const char* pszName) {
    // An exported address is what it is, code or data, whatever type the loader gives it.
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(hLibrary), pszName));
}

void UnloadModuleLibrary(ModuleLibraryHandle hLibrary) {
    FreeLibrary(static_cast<HMODULE>(hLibrary));
}

std::string ModuleFileName(const char* pszBaseName) {
    return std::string(pszBaseName) + ".dll";
}

std::string ExecutableDirectory() {
    // The system truncates silently to the buffer, so grow it until the whole name fits.
    std::string path(MAX_PATH, '\0');
    for (;;) {
        DWORD nLength = GetModuleFileNameA(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (nLength == 0) {
            return std::string();
        }
        if (nLength < path.size()) {
            path.resize(nLength);
            break;
        }
        if (path.size() >= 32768) {
            return std::string();
        }
        path.resize(path.size() * 2);
    }
    size_t nLastSeparator = path.find_last_of("\\/");
    if (nLastSeparator == std::string::npos) {
        return std::string();
    }
    // A drive's root keeps its separator: "C:\".
    bool bDriveRoot = nLastSeparator == 2 && path[1] == ':';
    return path.substr(0, bDriveRoot ? nLastSeparator + 1 : nLastSeparator);
}

std::string PathBesideExecutable(const char* pszFileName) {
    std::string directory = ExecutableDirectory();
    if (directory.empty()) {
        return pszFileName;
    }
    if (!IsSeparator(directory.back())) {
        directory += '\\';
    }
    return directory + pszFileName;
}
