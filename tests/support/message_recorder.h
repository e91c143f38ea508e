// A real window on the test's thread that records the worker's messages in arrival order.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <windows.h>

struct RecordedMessage {
    UINT message = 0;
    WPARAM wParam = 0;
    bool hadPayload = false;
    std::wstring title;   // WM_APP_STATUS
    std::wstring detail;  // WM_APP_STATUS
    std::wstring text;    // WM_APP_FAILED
};

struct MessageRecorder {
    HWND window = nullptr;
    std::vector<RecordedMessage> messages;
    // Runs on the window thread as each message arrives, before the next is taken.
    std::function<void(const RecordedMessage&)> onMessage;
};

// Creates the recording window and makes it g_state.mainWindow.
bool StartRecording(MessageRecorder& recorder);
// Pumps the thread's queue until WM_APP_SUCCEEDED or WM_APP_FAILED arrives (true),
// or until `timeoutMs` passes (false).
bool PumpUntilFinal(MessageRecorder& recorder, DWORD timeoutMs);
// Pumps whatever is queued now, without waiting.
void PumpPending(MessageRecorder& recorder);
void StopRecording(MessageRecorder& recorder);

// "status:<title>|<detail>", "progress:<n>", "succeeded", "failed:<text>" per message.
std::vector<std::wstring> Describe(const std::vector<RecordedMessage>& messages);
