// The installer window's procedure: shape, dragging, clicks, and the worker's messages.
#pragma once

#include <memory>

#include <windows.h>

#include "pipeline/worker.h"

LRESULT CALLBACK InstallerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// A token no other program can guess, never 0, drawn for each run and for readers' presses.
// Without the system's generator (bcrypt.dll missing) it is still new each time.
UINT_PTR NewToken();

// Starts InstallWorker on a detached thread that takes `run`. False when no thread could
// be started; `run` then still holds it.
using WorkerStarter = bool (*)(std::unique_ptr<InstallRun>& run);
bool StartWorkerThread(std::unique_ptr<InstallRun>& run);

// The main button on the idle and failure screens. Tests pass their own starter.
void BeginInstall(WorkerStarter startWorker = StartWorkerThread);
