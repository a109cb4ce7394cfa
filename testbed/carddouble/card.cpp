#include "card.h"

namespace e2e {

namespace {

constexpr DWORD kRequestLimitMs = 10000;
constexpr DWORD kLoadLimitMs = 60000;

std::wstring LastError(const wchar_t* what) {
    return std::wstring(what) + L" failed with error " + std::to_wstring(GetLastError());
}

HANDLE OpenControl() {
    return CreateFileW(CARD_CONTROL_PATH, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
}

// Creates the service (or points it at `sysPath`) and starts it; the driver host runs it from then
// on, for every program of this Wine session.
bool StartService(const std::wstring& sysPath, std::wstring* error) {
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (!manager) {
        *error = LastError(L"OpenSCManagerW");
        return false;
    }
    SC_HANDLE service = CreateServiceW(manager, CARD_SERVICE_NAME, L"TV card capture driver double",
                                       SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER, SERVICE_DEMAND_START,
                                       SERVICE_ERROR_NORMAL, sysPath.c_str(), nullptr, nullptr, nullptr, nullptr,
                                       nullptr);
    if (!service && GetLastError() == ERROR_SERVICE_EXISTS) {
        service = OpenServiceW(manager, CARD_SERVICE_NAME, SERVICE_ALL_ACCESS);
        if (service)
            ChangeServiceConfigW(service, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, sysPath.c_str(),
                                 nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    }
    bool ok = service != nullptr;
    if (!ok) *error = LastError(L"CreateServiceW");
    if (ok && !::StartServiceW(service, 0, nullptr) && GetLastError() != ERROR_SERVICE_ALREADY_RUNNING) {
        *error = LastError(L"StartServiceW");
        ok = false;
    }
    if (service) CloseServiceHandle(service);
    CloseServiceHandle(manager);
    return ok;
}

}  // namespace

long long CardClock() {
    FILETIME now;
    GetSystemTimePreciseAsFileTime(&now);
    return static_cast<long long>((static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime);
}

Card::Card(const std::wstring& sysPath) {
    control_ = OpenControl();
    if (control_ == INVALID_HANDLE_VALUE) {
        if (!StartService(sysPath, &error_)) return;
        const DWORD start = GetTickCount();
        while ((control_ = OpenControl()) == INVALID_HANDLE_VALUE && GetTickCount() - start < kLoadLimitMs)
            Sleep(50);  // the driver host is starting: nothing to wait on but the device's name
        if (control_ == INVALID_HANDLE_VALUE) {
            error_ = L"the double's control device did not appear";
            return;
        }
    }
    if (!Reset()) error_ = L"the double did not reset";
}

Card::~Card() {
    if (control_ != INVALID_HANDLE_VALUE) CloseHandle(control_);
}

std::wstring Card::InterfacePath() {
    std::wstring path = L"\\\\?\\";
    for (const wchar_t* p = CARD_INSTANCE_ID; *p; ++p) path += *p == L'\\' ? L'#' : static_cast<wchar_t>(towlower(*p));
    return path + L"#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\" CARD_REFERENCE;
}

bool Card::Control(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize, DWORD* returned) {
    if (control_ == INVALID_HANDLE_VALUE) return false;
    OVERLAPPED overlapped{};
    overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD count = 0;
    bool ok = DeviceIoControl(control_, code, const_cast<void*>(in), inSize, out, outSize, &count, &overlapped) ||
              GetLastError() == ERROR_IO_PENDING;
    if (ok) {
        if (WaitForSingleObject(overlapped.hEvent, kRequestLimitMs) != WAIT_OBJECT_0) CancelIoEx(control_, &overlapped);
        ok = GetOverlappedResult(control_, &overlapped, &count, TRUE) != FALSE;
    }
    CloseHandle(overlapped.hEvent);
    if (returned) *returned = count;
    return ok;
}

bool Card::Set(unsigned int id, unsigned int value) {
    const CardSetting setting{id, value};
    return Control(CARD_IOCTL_SET, &setting, sizeof setting, nullptr, 0);
}

bool Card::Reset() {
    lastPressTaken_ = 0;
    return Control(CARD_IOCTL_RESET, nullptr, 0, nullptr, 0);
}

bool Card::Press(unsigned int code, long long* pressTime) {
    const CardKey key{code};
    CardPress press{};
    if (!Control(CARD_IOCTL_PRESS, &key, sizeof key, &press, sizeof press)) return false;
    lastPressTaken_ = press.taken;
    if (pressTime) *pressTime = press.time;
    return true;
}

bool Card::Hold(unsigned int code) {
    const CardKey key{code};
    return Control(CARD_IOCTL_HOLD, &key, sizeof key, nullptr, 0);
}

bool Card::Release() { return Control(CARD_IOCTL_RELEASE, nullptr, 0, nullptr, 0); }
bool Card::SetPresent(bool present) { return Set(CARD_SET_PRESENT, present ? 1 : 0); }
bool Card::SetReadBytes(unsigned int bytes) { return Set(CARD_SET_READ_BYTES, bytes); }
bool Card::FailReads(unsigned int count) { return Set(CARD_SET_FAIL_READS, count); }
bool Card::SetCamera(bool listed) { return Set(CARD_SET_CAMERA, listed ? 1 : 0); }
bool Card::SetLevels(unsigned int outputs) { return Set(CARD_SET_LEVELS, outputs); }
bool Card::MakeStale() { return Control(CARD_IOCTL_STALE, nullptr, 0, nullptr, 0); }

CardState Card::State() {
    CardState state{};
    Control(CARD_IOCTL_STATE, nullptr, 0, &state, sizeof state);
    return state;
}

std::vector<CardRequest> Card::Trace(unsigned int from) {
    std::vector<CardRequest> requests;
    for (;;) {
        CardRequest batch[64];
        DWORD returned = 0;
        if (!Control(CARD_IOCTL_TRACE, &from, sizeof from, batch, sizeof batch, &returned)) break;
        const DWORD count = returned / sizeof(CardRequest);
        requests.insert(requests.end(), batch, batch + count);
        if (count < 64) break;
        from = batch[count - 1].seq + 1;
    }
    return requests;
}

bool Card::WaitPolls(unsigned int polls, DWORD limitMs, CardState* after) {
    return Wait(CARD_WAIT_POLLS, polls, limitMs, after);
}

bool Card::WaitTaken(DWORD limitMs, CardState* after) {
    return Wait(CARD_WAIT_TAKEN, lastPressTaken_, limitMs, after);
}

bool Card::Wait(unsigned int what, unsigned int count, DWORD limitMs, CardState* after) {
    if (control_ == INVALID_HANDLE_VALUE) return false;
    const CardWait wait{what, count};
    CardState state{};
    OVERLAPPED overlapped{};
    overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD returned = 0;
    bool ok = DeviceIoControl(control_, CARD_IOCTL_WAIT, const_cast<CardWait*>(&wait), sizeof wait, &state,
                              sizeof state, &returned, &overlapped) ||
              GetLastError() == ERROR_IO_PENDING;
    if (ok) {
        if (WaitForSingleObject(overlapped.hEvent, limitMs) != WAIT_OBJECT_0) CancelIoEx(control_, &overlapped);
        // A cancelled wait reports failure; one that completed just before the cancel counts.
        ok = GetOverlappedResult(control_, &overlapped, &returned, TRUE) && returned == sizeof state;
    }
    CloseHandle(overlapped.hEvent);
    if (ok && after) *after = state;
    return ok;
}

}  // namespace e2e
