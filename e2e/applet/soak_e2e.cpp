// A long run of the real Ravlet.exe on the capture-driver double: keys at random moments, removals
// and returns of the card, stale handles and the tray menu, with every key accounted for and what
// the applet holds measured at the start and at the end.
#include <gtest/gtest.h>

#include <cstdio>
#include <cwchar>
#include <random>

#include "card_fixture.h"

#include <psapi.h>  // after <windows.h>

using namespace card_e2e;

namespace {

// What the applet holds, seen from outside: kernel handles (from the system's handle list, since
// Wine answers 0 to GetProcessHandleCount and GetGuiResources for another process), its windows
// with their children, and its working set.
struct Holdings {
    unsigned long handles = 0, windows = 0;
    unsigned long long workingSet = 0;
    std::wstring classes;  // of the top-level windows, for the message when the count differs
};

BOOL CALLBACK CountChild(HWND, LPARAM count) {
    ++*reinterpret_cast<unsigned long*>(count);
    return TRUE;
}

Holdings HoldingsOf(DWORD process) {
    Holdings h;
    for (HWND w : e2e::TopLevelWindows(process)) {
        ++h.windows;
        EnumChildWindows(w, CountChild, reinterpret_cast<LPARAM>(&h.windows));
        h.classes += (h.classes.empty() ? L"" : L", ") + e2e::ClassOf(w);
    }
    struct Entry {
        ULONG ownerPid;
        BYTE type, flags;
        USHORT value;
        PVOID object;
        ULONG access;
    };
    using Query = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    std::vector<char> buffer(1 << 20);
    ULONG needed = 0;
    constexpr ULONG kSystemHandleInformation = 16;
    while (query && query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed) ==
                        static_cast<LONG>(0xC0000004))  // STATUS_INFO_LENGTH_MISMATCH
        buffer.resize(buffer.size() * 2);
    const ULONG count = *reinterpret_cast<const ULONG*>(buffer.data());
    const auto* entries = reinterpret_cast<const Entry*>(buffer.data() + sizeof(ULONG_PTR));
    for (ULONG i = 0; i < count && (i + 1) * sizeof(Entry) < buffer.size(); ++i)
        if (entries[i].ownerPid == process) ++h.handles;
    HANDLE p = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, process);
    PROCESS_MEMORY_COUNTERS counters{};
    if (p && GetProcessMemoryInfo(p, &counters, sizeof counters)) h.workingSet = counters.WorkingSetSize;
    if (p) CloseHandle(p);
    return h;
}

// Keys at random moments (now and then two in a row, the second lost to the suppression by
// design), a removal and return of the card every minute, a stale handle and the tray menu now
// and then, for SOAK_SECONDS (60 by default; scripts/soak.sh runs it for 30 minutes). Every key
// must be accounted for, and what the applet holds must not grow.
TEST_F(CardTest, SoakKeysRemovalsStaleHandlesAndTheMenuLeakNothing) {
    wchar_t text[16] = {};
    const DWORD seconds = GetEnvironmentVariableW(L"SOAK_SECONDS", text, 16) ? std::wcstoul(text, nullptr, 10) : 60;
    ASSERT_NE(nullptr, StartTv());
    HWND window = StartAppletOnTheCard();
    ASSERT_NE(nullptr, window);
    std::mt19937 random(20261208);
    unsigned long presses = 0, dropped = 0, removals = 0, stales = 0, menus = 0;
    std::vector<unsigned int> expected;

    // The applet opened the card again since `before` and polls it.
    auto reopenedAndPolled = [&](const CardState& before) {
        EXPECT_TRUE(card_->WaitState([&](const CardState& s) { return s.opens > before.opens && s.openHandles; },
                                     kCheckLimitMs));
        EXPECT_TRUE(card_->WaitPolls(2, kCheckLimitMs));
    };
    auto removeAndReturn = [&] {
        SCOPED_TRACE(testing::Message() << "removal and return of the card after " << presses << " presses");
        const CardState before = card_->State();
        ASSERT_TRUE(card_->SetPresent(false));
        ASSERT_TRUE(card_->WaitState([&](const CardState& s) { return s.closes > before.closes && !s.openHandles; },
                                     kCheckLimitMs));
        ASSERT_TRUE(card_->SetPresent(true));
        reopenedAndPolled(before);
        ++removals;
    };
    auto stale = [&] {
        SCOPED_TRACE(testing::Message() << "stale handle after " << presses << " presses");
        const CardState before = card_->State();
        ASSERT_TRUE(card_->MakeStale());
        reopenedAndPolled(before);
        ++stales;
    };
    auto menu = [&] {
        SCOPED_TRACE(testing::Message() << "tray menu after " << presses << " presses");
        PostMessageW(window, e2e::kTrayCallbackMessage, e2e::kTrayIconId, WM_RBUTTONDOWN);
        ASSERT_TRUE(e2e::WaitFor([&] { return MenuOf(applet_->id()) != nullptr; }, kUiLimitMs));
        PressKey(VK_ESCAPE);
        // Wine hides the menu's window first and destroys it a moment later: wait until it is gone.
        ASSERT_TRUE(e2e::WaitFor(
            [&] { return e2e::WindowSearch().Process(applet_->id()).Class(L"#32768").First() == nullptr; }, kUiLimitMs));
        ++menus;
    };
    // One round of everything first, so that what is made once is there before the first count.
    ASSERT_NO_FATAL_FAILURE(removeAndReturn());
    ASSERT_NO_FATAL_FAILURE(stale());
    ASSERT_NO_FATAL_FAILURE(menu());
    const Holdings start = HoldingsOf(applet_->id());

    const DWORD began = GetTickCount();
    DWORD lastRemoval = began;
    auto pressed = [&](unsigned int key) {
        if (card_->Press(key) && card_->WaitTaken(kCheckLimitMs)) return true;
        const CardState s = card_->State();
        ADD_FAILURE() << "press " << presses + 1 << " not taken: " << s.queuedKeys << " waiting, " << s.keysTaken
                      << " taken, " << s.polls << " polls, " << s.openHandles << " open handles, applet "
                      << (applet_->Running() ? "running" : "gone");
        return false;
    };
    while (GetTickCount() - began < seconds * 1000) {
        Sleep(random() % 100);  // a random moment of the poll period
        const unsigned int key = random() % 10;
        ASSERT_TRUE(pressed(key));
        ++presses;
        expected.push_back(0x30 + key);
        if (random() % 4 == 0) {
            ASSERT_TRUE(pressed((key + 1) % 10));
            ++presses;
            ++dropped;
        }
        ASSERT_TRUE(card_->WaitPolls(kPollsPastSuppression, kCheckLimitMs));
        if (GetTickCount() - lastRemoval >= 60000) {
            ASSERT_NO_FATAL_FAILURE(removeAndReturn());
            lastRemoval = GetTickCount();
        } else if (random() % 40 == 0) {
            ASSERT_NO_FATAL_FAILURE(stale());
        } else if (random() % 30 == 0) {
            ASSERT_NO_FATAL_FAILURE(menu());
        }
    }
    ASSERT_TRUE(WaitTvKeys(expected.size()));
    const Holdings end = HoldingsOf(applet_->id());
    std::printf("[ soak     ] %lu s: %lu presses, %zu delivered, %lu dropped by the suppression, %lu removals, "
                "%lu stale handles, %lu menus; handles %lu -> %lu, windows %lu -> %lu, working set %llu -> %llu kB\n",
                static_cast<unsigned long>(seconds), presses, TvKeys().size(), dropped, removals, stales, menus,
                start.handles, end.handles, start.windows, end.windows, start.workingSet / 1024, end.workingSet / 1024);
    EXPECT_EQ(TvKeys(), expected) << "a key lost or one too many";
    EXPECT_EQ(card_->State().refusals, 0u);
    EXPECT_LE(end.handles, start.handles + 2);
    EXPECT_EQ(end.windows, start.windows) << "top-level windows: " << start.classes << " -> "
                                          << end.classes;
    EXPECT_LE(end.workingSet, start.workingSet + 2 * 1024 * 1024);
}

}  // namespace
