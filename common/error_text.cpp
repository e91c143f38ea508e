// Writing a failure's sentence and code.
#include "common/error_text.h"

bool Fail(ErrorText& errorText, const wchar_t* sentence, DWORD code) {
    errorText.sentence = sentence;
    errorText.code = code;
    return false;
}

bool Fail(ErrorText& errorText, std::wstring sentence, DWORD code) {
    errorText.sentence = std::move(sentence);
    errorText.code = code;
    return false;
}
