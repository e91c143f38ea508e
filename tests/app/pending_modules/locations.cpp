// Stand-in for setup/locations.cpp until that branch lands.
#include "setup/locations.h"

std::wstring DefaultInstallFolder() { return L"C:\\users\\Public\\AppData"; }
std::wstring TempInstallerPath() { return std::wstring(); }
PathTypeResult QueryPathType(const std::wstring&) { return PathTypeResult{}; }
