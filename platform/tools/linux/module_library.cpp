// Module loading on Linux: the dynamic loader, and /proc for the executable's own path.
#include "platform/tools/module_library.h"

#include <cstring>
#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

ModuleLibraryHandle LoadModuleLibrary(const char* pszPath, std::string* pError) {
    // dlopen searches the library path for a bare name; a server means the file it was given.
    std::string path = pszPath;
    if (path.find('/') == std::string::npos) {
        path.insert(0, "./");
    }
    void* hLibrary = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (hLibrary == nullptr && pError != nullptr) {
        const char* pszReason = dlerror();
        *pError = pszReason != nullptr ? pszReason : "unknown loader error";
    }
    return hLibrary;
}

void* FindModuleSymbol(ModuleLibraryHandle hLibrary, const char* pszName) {
    return dlsym(hLibrary, pszName);
}

void UnloadModuleLibrary(ModuleLibraryHandle hLibrary) {
    dlclose(hLibrary);
}

std::string ModuleFileName(const char* pszBaseName) {
    return std::string(pszBaseName) + ".so";
}

std::string ExecutableDirectory() {
    char path[PATH_MAX];
    ssize_t nLength = readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (nLength <= 0) {
        return std::string();
    }
    path[nLength] = '\0';
    const char* pszLastSlash = std::strrchr(path, '/');
    if (pszLastSlash == nullptr) {
        return std::string();
    }
    // The root directory keeps its slash.
    return std::string(path, pszLastSlash == path ? 1 : pszLastSlash - path);
}

std::string PathBesideExecutable(const char* pszFileName) {
    std::string directory = ExecutableDirectory();
    if (directory.empty()) {
        return pszFileName;
    }
    if (directory.back() != '/') {
        directory += '/';
    }
    return directory + pszFileName;
}
