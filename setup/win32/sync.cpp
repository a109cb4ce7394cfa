// Sync port: events, waits, pauses and the worker thread.
#include "adapters.h"

namespace setup::win32 {

namespace {

DWORD WINAPI WorkerThunk(LPVOID frame) { return WorkerEntry(frame); }

}  // namespace

Handle SyncAdapter::NewEvent(bool manualReset, bool initialState) {
    return events_.Adopt(CreateEventA(nullptr, manualReset, initialState, nullptr));
}

void SyncAdapter::SetEvent(Handle event) { ::SetEvent(events_.Get(event)); }

std::uint32_t SyncAdapter::WaitFor(Handle handle, std::uint32_t timeoutMs) {
    return WaitForSingleObject(events_.Get(handle), timeoutMs);
}

void SyncAdapter::CloseHandle(Handle handle) { events_.Close(handle); }

void SyncAdapter::Sleep(std::uint32_t ms) { ::Sleep(ms); }

bool SyncAdapter::StartWorker(CMainFrame& frame) {
    DWORD id = 0;
    // Nobody joins the worker: it ends itself after posting WM_CLOSE.
    UniqueHandle thread(CreateThread(nullptr, 0, WorkerThunk, &frame, 0, &id));
    return static_cast<bool>(thread);
}

}  // namespace setup::win32
