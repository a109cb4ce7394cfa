// The launcher's side-by-side loading of gdiplus.dll, in a test program with two manifests of its
// own: a context that does not redirect the name, or an assembly that is not installed, loads
// nothing, and never the gdiplus.dll planted beside this program, which Wine is told to look for as
// Windows does, in the program's folder first. (The launcher's own loading through the store is
// shown by its Setup.bin test, with the system folder's copy moved aside.)
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "harness.h"
#include "system_dll.h"

namespace {

constexpr WORD kControlsManifest = 3, kAbsentManifest = 4;

std::wstring OwnFolder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::wstring self = path;
    return self.substr(0, self.rfind(L'\\'));
}

TEST(GdiplusLoading, NothingIsLoadedByNameWithoutTheAssembly) {
    const std::wstring planted = OwnFolder() + L"\\gdiplus.dll";
    auto removePlanted = [&] {
        for (const wchar_t* tail : {L"", L".loaded", L".GdiplusStartup"}) {
            SetFileAttributesW((planted + tail).c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW((planted + tail).c_str());
        }
    };
    removePlanted();
    ASSERT_TRUE(e2e::CopyTo(e2e::FromUnix(PLANTED_GDIPLUS), planted));
    ASSERT_EQ(GetModuleHandleW(L"gdiplus.dll"), nullptr);
    for (WORD manifest : {kControlsManifest, kAbsentManifest}) {
        EXPECT_EQ(setup::win32::LoadFromAssembly(L"gdiplus.dll", GetModuleHandleW(nullptr), manifest), nullptr)
            << manifest;
        EXPECT_EQ(GetModuleHandleW(L"gdiplus.dll"), nullptr) << manifest;
    }
    EXPECT_EQ(GetFileAttributesW((planted + L".loaded").c_str()), INVALID_FILE_ATTRIBUTES)
        << "the planted gdiplus.dll was loaded";
    removePlanted();
}

}  // namespace
