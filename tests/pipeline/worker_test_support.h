// Shared pieces of the worker tests: the messages a run posts, the served setups and
// one run of the worker on its own thread recorded on the test's thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/files.h"
#include "tests/support/message_recorder.h"

extern const std::wstring Checking;
extern const std::wstring Downloading;
extern const std::wstring Installing;
extern const std::wstring Finishing;
extern const char ManifestPath[];

std::string ManifestJson(const std::string& url, const std::string& sha256, std::uint64_t size);
std::string Narrow(const std::wstring& ascii);

// A stand-in setup served by the test release service as /files/<name>.
struct ServedSetup {
    std::string url;
    std::string sha256;
    std::uint64_t size = 0;
};
ServedSetup ServeStandin(const std::wstring& name);

bool IsFinal(const std::wstring& line);
// Removes the per-chunk download percentages (after "progress:5", up to the first message
// that is not a percentage in 5..83) from `lines` and returns them, so the rest can be
// compared exactly: the chunk sizes WinHTTP hands back are not the worker's to fix.
std::vector<unsigned> TakeChunkPercents(std::vector<std::wstring>& lines);

// Runs `worker` (which runs InstallWorker) on a new thread and pumps this thread's queue
// until the final message; then joins the thread and takes whatever it might still have
// posted, so a message after the final one cannot slip past. Checks that exactly one final
// message arrived, last, and that statuses and failures carried their payloads unless
// `payloadlessFailureAllowed`. Returns Describe() of everything recorded.
std::vector<std::wstring> RunOnWorkerThread(MessageRecorder& recorder, const std::function<void()>& worker,
                                            bool payloadlessFailureAllowed = false);
