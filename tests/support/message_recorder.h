// A real window on the test's thread that records the worker's messages in arrival order.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <windows.h>

#include "pipeline/messages.h"

struct RecordedMessage {
    UINT message = 0;
    WPARAM wParam = 0;
    UINT_PTR token = 0;  // the run token the message carried
    bool hadPayload = false;
    std::wstring title;   // WM_APP_STATUS
    std::wstring detail;  // WM_APP_STATUS
    std::wstring text;    // WM_APP_FAILED
};

// The token StartRecording puts in `report`, as a window would for one run.
constexpr UINT_PTR RecorderToken = 0x7E57'0001;

struct MessageRecorder {
    HWND window = nullptr;
    RunReport report;  // where a worker under test reports: this window, RecorderToken
    std::vector<RecordedMessage> messages;
    // Runs on the window thread as each message arrives, before the next is taken.
    std::function<void(const RecordedMessage&)> onMessage;
};

// Creates the recording window and points `report` at it.
bool StartRecording(MessageRecorder& recorder);
// Pumps the thread's queue until WM_APP_SUCCEEDED or WM_APP_FAILED arrives (true),
// or until `timeoutMs` passes (false).
bool PumpUntilFinal(MessageRecorder& recorder, DWORD timeoutMs);
// Pumps whatever is queued now, without waiting.
void PumpPending(MessageRecorder& recorder);
void StopRecording(MessageRecorder& recorder);

// "status:<title>|<detail>", "progress:<n>", "succeeded", "failed:<text>" per message.
std::vector<std::wstring> Describe(const std::vector<RecordedMessage>& messages);
