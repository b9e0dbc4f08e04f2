// Loading a module at run time as a server loads its plug-ins, and finding files beside the
// running program. Any thread; a handle is owned by whoever loaded it and must be unloaded
// exactly once with UnloadModuleLibrary.
#pragma once

#include <string>

using ModuleLibraryHandle = void*;

// Loads the module at pszPath, resolving all its imports now and keeping its names out of the
// global namespace. A path without a directory names a file in the current directory. Returns
// null on failure and, when pError is not null, stores the system loader's reason.
ModuleLibraryHandle LoadModuleLibrary(const char* pszPath, std::string* pError);

// The address the module exports under pszName, or null.
void* FindModuleSymbol(ModuleLibraryHandle hLibrary, const char* pszName);

void UnloadModuleLibrary(ModuleLibraryHandle hLibrary);

// The file name this platform gives the module called pszBaseName: "NAME.so" or "NAME.dll".
std::string ModuleFileName(const char* pszBaseName);

// The directory holding the running executable, without a trailing separator; empty when the
// system cannot tell.
std::string ExecutableDirectory();

// pszFileName in the executable's directory; pszFileName alone when that directory is unknown.
std::string PathBesideExecutable(const char* pszFileName);
