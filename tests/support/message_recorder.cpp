// Records WM_APP_* messages on a message-only window, taking ownership of payloads.
#include "tests/support/message_recorder.h"

#include <memory>

#include "pipeline/messages.h"

namespace {

constexpr wchar_t RecorderClass[] = L"KestravonTestMessageRecorder";

LRESULT CALLBACK RecorderProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* recorder = reinterpret_cast<MessageRecorder*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message < WM_APP_STATUS || message > WM_APP_FAILED || !recorder) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    RecordedMessage record;
    record.message = message;
    record.wParam = wParam;
    record.token = RunTokenOf(message, wParam, lParam);
    record.hadPayload = message != WM_APP_PROGRESS && lParam != 0;  // progress carries the token there
    if (message == WM_APP_STATUS && lParam) {
        std::unique_ptr<StatusUpdate> update(reinterpret_cast<StatusUpdate*>(lParam));
        record.title = update->title;
        record.detail = update->detail;
    } else if (message == WM_APP_FAILED && lParam) {
        std::unique_ptr<std::wstring> text(reinterpret_cast<std::wstring*>(lParam));
        record.text = *text;
    }
    recorder->messages.push_back(record);
    if (recorder->onMessage) recorder->onMessage(record);
    return 0;
}

bool IsFinal(UINT message) { return message == WM_APP_SUCCEEDED || message == WM_APP_FAILED; }

}  // namespace

bool StartRecording(MessageRecorder& recorder) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = RecorderProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = RecorderClass;
    RegisterClassExW(&windowClass);  // a second registration fails harmlessly
    recorder.window = CreateWindowExW(0, RecorderClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                      GetModuleHandleW(nullptr), nullptr);
    if (!recorder.window) return false;
    SetWindowLongPtrW(recorder.window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&recorder));
    recorder.report = RunReport{recorder.window, RecorderToken};
    return true;
}

bool PumpUntilFinal(MessageRecorder& recorder, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&msg);
            if (msg.hwnd == recorder.window && IsFinal(msg.message)) return true;
        }
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(deadline - now), QS_ALLINPUT);
    }
}

void PumpPending(MessageRecorder&) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

void StopRecording(MessageRecorder& recorder) {
    if (recorder.window) DestroyWindow(recorder.window);
    recorder.window = nullptr;
}

std::vector<std::wstring> Describe(const std::vector<RecordedMessage>& messages) {
    std::vector<std::wstring> lines;
    for (const RecordedMessage& m : messages) {
        switch (m.message) {
        case WM_APP_STATUS: lines.push_back(L"status:" + m.title + L"|" + m.detail); break;
        case WM_APP_PROGRESS: lines.push_back(L"progress:" + std::to_wstring(m.wParam)); break;
        case WM_APP_SUCCEEDED: lines.push_back(L"succeeded"); break;
        case WM_APP_FAILED: lines.push_back(L"failed:" + m.text); break;
        default: break;
        }
    }
    return lines;
}
