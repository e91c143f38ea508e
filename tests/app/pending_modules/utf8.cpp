// Stand-in for pipeline/utf8.cpp until that branch lands.
#include "pipeline/utf8.h"

std::wstring Utf8ToWide(const std::string&) { return std::wstring(); }
