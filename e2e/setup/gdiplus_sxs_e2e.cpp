// The launcher's loading of gdiplus.dll, in a test program that carries the launcher's GDI+
// manifest (resource 2): from the system folder, else through the side-by-side store, as on
// Windows XP, whose system folder has none. A context that does not redirect the name, or an
// assembly that is not installed, loads nothing: never the gdiplus.dll planted beside this program,
// which Wine is told to look for as Windows does, in the program's folder first.
#include <windows.h>
#include <objbase.h>
#include <gdiplus.h>

#include <gtest/gtest.h>

#include <cwctype>
#include <string>

#include "harness.h"
#include "system_dll.h"

using setup::win32::LoadFromAssembly;
using setup::win32::SystemLibrary;

namespace {

constexpr WORD kGdiplusManifest = 2, kControlsManifest = 3, kAbsentManifest = 4;

std::wstring Lower(std::wstring s) {
    for (auto& c : s) c = static_cast<wchar_t>(std::towlower(c));
    return s;
}

std::wstring ModulePath(HMODULE module) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(module, path, MAX_PATH);
    return path;
}

std::wstring OwnFolder() {
    std::wstring path = ModulePath(nullptr);
    return path.substr(0, path.rfind(L'\\'));
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::wstring SystemFolder() {
    wchar_t path[MAX_PATH] = {};
    GetSystemDirectoryW(path, MAX_PATH);
    return path;
}

// The width of the JPEG picture of the launcher's tests, decoded through the module's GDI+.
UINT DecodedWidth(HMODULE gdiplus) {
    auto get = [&](const char* name) { return reinterpret_cast<void (*)()>(GetProcAddress(gdiplus, name)); };
    auto startup = reinterpret_cast<decltype(&Gdiplus::GdiplusStartup)>(get("GdiplusStartup"));
    auto shutdown = reinterpret_cast<decltype(&Gdiplus::GdiplusShutdown)>(get("GdiplusShutdown"));
    auto fromFile = reinterpret_cast<decltype(&Gdiplus::DllExports::GdipCreateBitmapFromFile)>(get("GdipCreateBitmapFromFile"));
    auto width = reinterpret_cast<decltype(&Gdiplus::DllExports::GdipGetImageWidth)>(get("GdipGetImageWidth"));
    auto dispose = reinterpret_cast<decltype(&Gdiplus::DllExports::GdipDisposeImage)>(get("GdipDisposeImage"));
    if (!startup || !shutdown || !fromFile || !width || !dispose) return 0;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartupInput input;
    if (startup(&token, &input, nullptr) != Gdiplus::Ok) return 0;
    UINT w = 0;
    Gdiplus::GpBitmap* picture = nullptr;
    if (fromFile(e2e::FromUnix(SETUP_SKIN_JPEG).c_str(), &picture) == Gdiplus::Ok) {
        width(picture, &w);
        dispose(picture);
    }
    shutdown(token);
    return w;
}

class GdiplusLoading : public ::testing::Test {
protected:
    void SetUp() override {
        RemovePlanted();
        ASSERT_TRUE(e2e::CopyTo(e2e::FromUnix(PLANTED_GDIPLUS), planted_));
    }
    void TearDown() override {
        EXPECT_FALSE(Exists(planted_ + L".loaded")) << "the planted gdiplus.dll was loaded";
        RemovePlanted();
    }
    void RemovePlanted() {
        for (const wchar_t* tail : {L"", L".loaded", L".GdiplusStartup"}) {
            SetFileAttributesW((planted_ + tail).c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW((planted_ + tail).c_str());
        }
    }
    const std::wstring planted_ = OwnFolder() + L"\\gdiplus.dll";
};

TEST_F(GdiplusLoading, TheSystemFolderComesFirst) {
    ASSERT_TRUE(Exists(SystemFolder() + L"\\gdiplus.dll"));
    SystemLibrary library(L"gdiplus.dll", GetModuleHandleW(nullptr), kGdiplusManifest);
    ASSERT_NE(library.Module(), nullptr);
    EXPECT_EQ(Lower(ModulePath(library.Module())), Lower(SystemFolder() + L"\\gdiplus.dll"));
}

TEST_F(GdiplusLoading, TheSideBySideStoreHoldsAWorkingCopy) {
    HMODULE module = LoadFromAssembly(L"gdiplus.dll", GetModuleHandleW(nullptr), kGdiplusManifest);
    ASSERT_NE(module, nullptr);
    const std::wstring path = Lower(ModulePath(module));
    std::printf("[ gdiplus ] loaded from %ls\n", path.c_str());
    EXPECT_NE(path.find(L"\\winsxs\\"), std::wstring::npos) << "not from the side-by-side store";
    EXPECT_EQ(DecodedWidth(module), 1024u);
}

TEST_F(GdiplusLoading, NothingIsLoadedByNameWithoutTheAssembly) {
    ASSERT_EQ(GetModuleHandleW(L"gdiplus.dll"), nullptr);
    for (WORD manifest : {kControlsManifest, kAbsentManifest}) {
        EXPECT_EQ(LoadFromAssembly(L"gdiplus.dll", GetModuleHandleW(nullptr), manifest), nullptr) << manifest;
        EXPECT_EQ(GetModuleHandleW(L"gdiplus.dll"), nullptr) << manifest;
    }
}

}  // namespace
