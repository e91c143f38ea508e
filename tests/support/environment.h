// Where a Windows test runs: its environment variables, Wine, and the build tree seen
// through Wine's Z: drive, which maps the Unix root.
#pragma once

#include <string>

// The variable's value; empty when it is unset.
std::wstring EnvironmentValue(const wchar_t* name);
bool RunningOnWine();
// The absolute Unix path in the variable `name` as a Windows path ("Z:\..."); empty when unset.
std::wstring HostPathFromEnvironment(const wchar_t* name);
// A path inside the build tree (KESTRAVON_BUILD_DIR, which ctest sets); empty outside ctest.
std::wstring BuildTreePath(const std::wstring& relative);
// A stand-in program from the build tree's standins folder.
std::wstring StandinPath(const std::wstring& name);
// The built KestravonInstaller.exe, or the pinned test build of it.
std::wstring InstallerExePath(bool pinned = false);

// Sets an environment variable of this process (null: unset) for one scope, then puts
// the old value back.
class ScopedEnvironment {
public:
    ScopedEnvironment(const wchar_t* name, const wchar_t* value);
    ScopedEnvironment(const wchar_t* name, const std::wstring& value) : ScopedEnvironment(name, value.c_str()) {}
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    const wchar_t* name_;
    std::wstring old_;
};
