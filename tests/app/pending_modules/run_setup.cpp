// Stand-in for setup/run_setup.cpp until that branch lands.
#include "setup/run_setup.h"

bool RunSetup(const std::wstring&, const std::wstring&, DWORD& exitCode, std::wstring& errorText) {
    exitCode = 1;
    errorText = L"The setup runner is not part of this build.";
    return false;
}
