// Owners of Win32 handles: one template, one traits struct per kind of handle.
#pragma once

#include <windows.h>
#include <setupapi.h>

#include <cstdint>
#include <map>
#include <utility>

namespace applet::win32 {

template <class Traits>
class Unique {
public:
    using Handle = typename Traits::Handle;

    Unique() noexcept : handle_(Traits::invalid()) {}
    explicit Unique(Handle handle) noexcept : handle_(handle) {}
    ~Unique() { reset(); }
    Unique(Unique&& other) noexcept : handle_(other.release()) {}
    Unique& operator=(Unique&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    Unique(const Unique&) = delete;
    Unique& operator=(const Unique&) = delete;

    Handle get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != Traits::invalid(); }
    Handle release() noexcept { return std::exchange(handle_, Traits::invalid()); }
    void reset(Handle handle = Traits::invalid()) noexcept {
        if (handle_ != Traits::invalid()) Traits::close(handle_);
        handle_ = handle;
    }

private:
    Handle handle_;
};

struct KeyTraits {
    using Handle = HKEY;
    static Handle invalid() { return nullptr; }
    static void close(Handle h) { RegCloseKey(h); }
};
struct HandleTraits {  // process, thread, mutex: "none" is null
    using Handle = HANDLE;
    static Handle invalid() { return nullptr; }
    static void close(Handle h) { CloseHandle(h); }
};
struct FileTraits {    // CreateFileW: "none" is INVALID_HANDLE_VALUE
    using Handle = HANDLE;
    static Handle invalid() { return INVALID_HANDLE_VALUE; }
    static void close(Handle h) { CloseHandle(h); }
};
struct DevInfoTraits {
    using Handle = HDEVINFO;
    static Handle invalid() { return INVALID_HANDLE_VALUE; }
    static void close(Handle h) { SetupDiDestroyDeviceInfoList(h); }
};
struct IconTraits {
    using Handle = HICON;
    static Handle invalid() { return nullptr; }
    static void close(Handle h) { DestroyIcon(h); }
};
struct MenuTraits {
    using Handle = HMENU;
    static Handle invalid() { return nullptr; }
    static void close(Handle h) { DestroyMenu(h); }
};
struct HeapTraits {
    using Handle = void*;
    static Handle invalid() { return nullptr; }
    static void close(Handle h) { HeapFree(GetProcessHeap(), 0, h); }
};

using UniqueKey = Unique<KeyTraits>;
using UniqueHandle = Unique<HandleTraits>;
using UniqueFile = Unique<FileTraits>;
using UniqueDevInfo = Unique<DevInfoTraits>;
using UniqueIcon = Unique<IconTraits>;
using UniqueMenu = Unique<MenuTraits>;
using UniqueHeap = Unique<HeapTraits>;

// Handles that an adapter hands out through a port: the adapter keeps the owner, the logic gets a
// number, and a handle the logic never closes is closed when the adapter goes.
template <class Traits, class Extra = int>
class OwnedHandles {
public:
    using Handle = typename Traits::Handle;
    struct Entry {
        Unique<Traits> owner;
        Extra extra{};
    };

    // 0 ("none") for an invalid handle.
    std::uintptr_t Adopt(Handle handle, Extra extra = Extra{}) {
        if (handle == Traits::invalid()) return 0;
        const auto id = reinterpret_cast<std::uintptr_t>(handle);
        entries_[id] = Entry{Unique<Traits>(handle), std::move(extra)};
        return id;
    }
    Entry* Find(std::uintptr_t id) {
        auto it = entries_.find(id);
        return it == entries_.end() ? nullptr : &it->second;
    }
    Handle Get(std::uintptr_t id) {
        Entry* entry = Find(id);
        return entry ? entry->owner.get() : Traits::invalid();
    }
    void Close(std::uintptr_t id) { entries_.erase(id); }

private:
    std::map<std::uintptr_t, Entry> entries_;
};

}  // namespace applet::win32
