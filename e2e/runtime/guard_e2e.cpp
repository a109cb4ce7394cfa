// Function-local statics under the shipped programs' guard: one initialisation, and a thread that
// arrives during it waits for the finished object.
#include <gtest/gtest.h>

#include <atomic>

#include "harness.h"

namespace {

std::atomic<int> constructions{0};

struct Slow {
    Slow() {
        ++constructions;
        Sleep(300);  // long enough for the second thread to arrive while this one is inside
        value = 42;
    }
    int value = 0;
};

DWORD WINAPI Reach(LPVOID) {
    static Slow slow;
    return static_cast<DWORD>(slow.value);
}

TEST(StaticGuard, ASecondThreadWaitsForTheFirstInitialisationAndNoneRunsTwice) {
    HANDLE first = CreateThread(nullptr, 0, Reach, nullptr, 0, nullptr);
    ASSERT_NE(first, nullptr);
    ASSERT_TRUE(e2e::WaitFor([] { return constructions.load() == 1; }));
    HANDLE second = CreateThread(nullptr, 0, Reach, nullptr, 0, nullptr);
    ASSERT_NE(second, nullptr);
    HANDLE both[] = {first, second};
    ASSERT_EQ(WaitForMultipleObjects(2, both, TRUE, 20000), WAIT_OBJECT_0);
    DWORD a = 0, b = 0;
    GetExitCodeThread(first, &a);
    GetExitCodeThread(second, &b);
    CloseHandle(first);
    CloseHandle(second);
    EXPECT_EQ(a, 42u);
    EXPECT_EQ(b, 42u);
    EXPECT_EQ(Reach(nullptr), 42u);
    EXPECT_EQ(constructions.load(), 1);
}

}  // namespace
