// Which library the program loads as the Simple MAPI service.
#pragma once

#include <string>
#include <string_view>

namespace nx {

// The Simple MAPI library as the program names it.
inline constexpr const char* kMapiLibraryName = "MAPI32.DLL";

// The name handed to the system loader for `name`. On Windows it is `name` itself.
// Elsewhere "MAPI32.DLL" (any case) stands for the project's own provider:
//   1. the environment variable NORVEXA_MAPI_LIBRARY, when set and not empty;
//   2. otherwise libnorvexa_mapi.so in the directory of the running executable,
//      when that file exists (a build tree);
//   3. otherwise libnorvexa_mapi.so in the program's private library directory,
//      found from the executable's directory as installed (/usr/bin/norvexa ->
//      /usr/lib/<multiarch>/norvexa), when that file exists;
//   4. otherwise "libnorvexa_mapi.so", found by the loader's normal search.
// Any other name is returned unchanged.
std::string libraryLoadName(std::string_view name);
// The same, for an executable at `exePath`.
std::string libraryLoadName(std::string_view name, const std::string& exePath);

// Tells the provider, which runs in this process, which directory drive C is, so
// that it maps attachment paths as the program does. Called once at start.
void setProviderDriveC(const std::string& hostDir);

}  // namespace nx
