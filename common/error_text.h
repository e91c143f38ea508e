// A failing operation's one sentence for the user, with the platform's error code beside it.
#pragma once

#include <windows.h>

#include <string>
#include <utility>

// The user only ever sees the sentence. The code is the failing call's GetLastError (or
// NTSTATUS) where the operation knows one, 0 where the cause is not the platform's (a bad
// digest, a refused host): causes that share a sentence stay apart for tests and support.
struct ErrorText {
    std::wstring sentence;
    DWORD code = 0;
};

// Replaces sentence and code; returns false, for `return Fail(...)`. Pass GetLastError()
// as the argument: it is read before the sentence is assigned. A fixed sentence is
// passed as it stands, so that no call site builds a string of its own.
bool Fail(ErrorText& errorText, const wchar_t* sentence, DWORD code = 0);
bool Fail(ErrorText& errorText, std::wstring sentence, DWORD code = 0);
