// The installer window's procedure: shape, dragging, clicks, and the worker's messages.
#pragma once

#include <memory>
#include <string>

#include <windows.h>

LRESULT CALLBACK InstallerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Starts InstallWorker on a detached thread that takes `folder`. False when no thread could
// be started; `folder` then still holds the copy.
using WorkerStarter = bool (*)(std::unique_ptr<std::wstring>& folder);
bool StartWorkerThread(std::unique_ptr<std::wstring>& folder);

// The main button on the idle and failure screens. Tests pass their own starter.
void BeginInstall(WorkerStarter startWorker = StartWorkerThread);
