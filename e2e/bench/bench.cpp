// The Windows side of scripts/bench.sh, against the capture-driver double.
//
//   bench latency CARD_SYS RAVLET_EXE TVAPP_EXE PRESSES RESULT_FILE
//       starts the stand-in TV application and the applet, presses PRESSES keys at random moments
//       of the poll period, and writes one latency per line (ms, from the double's press to the TV
//       application's WM_KEYDOWN); a key that never arrived is written as "lost".
//   bench opened CARD_SYS      waits until a program has opened the card and polls it
//   bench path                 prints the card's device path
//   bench memory EXE_NAME      prints the private bytes and the working set of the running program
//   bench close                asks the applet to close and waits until it has
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <string>

#include "card.h"
#include "harness.h"

namespace {

constexpr DWORD kLimitMs = 30000;
constexpr wchar_t kTvClass[] = L"TvCardStandInTv";
constexpr wchar_t kAppletTitle[] = L"TV Card Remote Control Applet";
constexpr wchar_t kAppletKey[] = L"SOFTWARE\\Orvane\\TV Card Remote Control Applet\\1.0";
constexpr wchar_t kTunerKey[] = L"SYSTEM\\CurrentControlSet\\Control\\WDM Video Capture Driver\\WDM TV Tuner\\Tunvex";

// Arrival times (the double's clock) of the WM_KEYDOWN lines of the TV application's log.
std::vector<long long> KeyDowns(const std::wstring& log) {
    std::vector<long long> times;
    for (const e2e::TvEvent& e : e2e::TvEventsOf(e2e::ReadTvLog(log), "WM_KEYDOWN")) times.push_back(e.time);
    return times;
}

int Latency(const std::wstring& sys, const std::wstring& ravlet, const std::wstring& tvapp, int presses,
            const char* result) {
    e2e::Card card(sys);
    if (!card.ok()) return 1;
    e2e::SetDword(HKEY_LOCAL_MACHINE, kTunerKey, L"DeviceID", 0x7134);
    e2e::SetDword(HKEY_LOCAL_MACHINE, kTunerKey, L"IsOldBoard", 0);
    e2e::SetDword(HKEY_LOCAL_MACHINE, kTunerKey, L"GPIO", 0x4000);
    e2e::SetString(HKEY_CURRENT_USER, kAppletKey, L"Profile", L"RC32Keys");
    e2e::DeleteValue(HKEY_CURRENT_USER, kAppletKey, L"Do Not Use");
    const std::wstring log = e2e::TempDir(L"bench tv") + L"\\tv.log";
    e2e::Process tv = e2e::Start(L"\"" + tvapp + L"\" --times --log \"" + log + L"\"");
    e2e::Process applet = e2e::Start(L"\"" + ravlet + L"\"");
    if (!tv.started() || !applet.started() ||
        !e2e::WaitFor([] { return e2e::WindowSearch().Class(kTvClass).First() != nullptr; }, kLimitMs) ||
        !card.WaitState([](const CardState& s) { return s.openHandles == 1 && s.polls >= 2; }, kLimitMs))
        return 1;

    std::ofstream out(result);
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> phase(0, 99);
    for (int i = 0; i < presses; ++i) {
        // After the last key's suppression, at a random moment of the poll period.
        card.WaitPolls(5, kLimitMs);
        Sleep(static_cast<DWORD>(phase(random)));
        const std::size_t before = KeyDowns(log).size();
        long long pressed = 0;
        card.Press(5, &pressed);
        std::vector<long long> times;
        const bool arrived = card.WaitTaken(kLimitMs) &&
                             e2e::WaitFor([&] { return (times = KeyDowns(log)).size() > before; }, 2000);
        if (arrived) out << (times[before] - pressed) / 10000.0 << "\n";
        else out << "lost\n";
    }
    if (HWND w = e2e::FindTitle(kAppletTitle)) PostMessageW(w, WM_CLOSE, 0, 0);
    applet.WaitExit(kLimitMs);
    tv.Kill();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string what = argc > 1 ? argv[1] : "";
    if (what == "latency" && argc == 7)
        return Latency(e2e::FromUnix(argv[2]), e2e::FromUnix(argv[3]), e2e::FromUnix(argv[4]), std::atoi(argv[5]),
                       argv[6]);
    if (what == "opened" && argc == 3) {
        e2e::Card card(e2e::FromUnix(argv[2]));
        return card.ok() && card.WaitState([](const CardState& s) { return s.openHandles == 1 && s.polls >= 2; },
                                           kLimitMs)
                   ? 0
                   : 1;
    }
    if (what == "path") {
        std::printf("%ls\n", e2e::Card::InterfacePath().c_str());
        return 0;
    }
    if (what == "memory" && argc == 3) {
        const std::wstring name = e2e::Widen(argv[2]);
        HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        PROCESSENTRY32W entry{};
        entry.dwSize = sizeof entry;
        DWORD id = 0;
        for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
            if (lstrcmpiW(entry.szExeFile, name.c_str()) == 0) id = entry.th32ProcessID;
        CloseHandle(snapshot);
        HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id);
        PROCESS_MEMORY_COUNTERS_EX counters{};
        counters.cb = sizeof counters;
        if (!process || !GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                                              sizeof counters))
            return 1;
        std::printf("%lu %lu\n", static_cast<unsigned long>(counters.PrivateUsage),
                    static_cast<unsigned long>(counters.WorkingSetSize));
        return 0;
    }
    if (what == "close") {
        HWND w = e2e::FindTitle(kAppletTitle);
        if (w) PostMessageW(w, WM_CLOSE, 0, 0);
        return e2e::WaitFor([] { return e2e::FindTitle(kAppletTitle) == nullptr; }, kLimitMs) ? 0 : 1;
    }
    return 2;
}
