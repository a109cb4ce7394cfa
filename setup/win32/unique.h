// One owner template for every Win32 handle kind; a traits struct per kind says what "no handle"
// is and how to release one.
#pragma once
#include "platform.h"

#include <cstdint>
#include <vector>
#include <utility>

namespace setup::win32 {

template <class Traits>
class Unique {
public:
    using Handle = typename Traits::Handle;
    Unique() noexcept : h_(Traits::invalid()) {}
    explicit Unique(Handle h) noexcept : h_(h) {}
    Unique(Unique&& o) noexcept : h_(o.release()) {}
    Unique& operator=(Unique&& o) noexcept {
        if (this != &o) reset(o.release());
        return *this;
    }
    Unique(const Unique&) = delete;
    Unique& operator=(const Unique&) = delete;
    ~Unique() { reset(); }

    Handle get() const noexcept { return h_; }
    explicit operator bool() const noexcept { return h_ != Traits::invalid(); }
    Handle release() noexcept { return std::exchange(h_, Traits::invalid()); }
    void reset(Handle h = Traits::invalid()) noexcept {
        Handle old = std::exchange(h_, h);
        if (old != Traits::invalid()) Traits::close(old);
    }

private:
    Handle h_;
};

struct HandleTraits {  // process, thread, event, mutex, token: "none" is null
    using Handle = HANDLE;
    static Handle invalid() { return nullptr; }
    static void close(Handle h) { CloseHandle(h); }
};
struct FileTraits {  // CreateFileA: "none" is INVALID_HANDLE_VALUE
    using Handle = HANDLE;
    static Handle invalid() { return INVALID_HANDLE_VALUE; }
    static void close(Handle h) { CloseHandle(h); }
};
struct ActCtxTraits {  // CreateActCtxW: "none" is INVALID_HANDLE_VALUE
    using Handle = HANDLE;
    static Handle invalid() { return INVALID_HANDLE_VALUE; }
    static void close(Handle h) { ReleaseActCtx(h); }
};
struct KeyTraits {
    using Handle = HKEY;
    static Handle invalid() { return nullptr; }
    static void close(Handle h) { RegCloseKey(h); }
};
struct GdiTraits {
    using Handle = HGDIOBJ;
    static Handle invalid() { return nullptr; }
    static void close(Handle h) { DeleteObject(h); }
};
struct DcTraits {
    using Handle = HDC;
    static Handle invalid() { return nullptr; }
    static void close(Handle h) { DeleteDC(h); }
};
struct GlobalTraits {
    using Handle = HGLOBAL;
    static Handle invalid() { return nullptr; }
    static void close(Handle h) { GlobalFree(h); }
};

using UniqueHandle = Unique<HandleTraits>;
using UniqueFile = Unique<FileTraits>;
using UniqueActCtx = Unique<ActCtxTraits>;
using UniqueKey = Unique<KeyTraits>;
using UniqueGdi = Unique<GdiTraits>;
using UniqueDc = Unique<DcTraits>;
using UniqueGlobal = Unique<GlobalTraits>;

// A critical section (Windows XP has no slim lock), held for one scope by Hold.
class Lock {
public:
    Lock() { InitializeCriticalSection(&section_); }
    ~Lock() { DeleteCriticalSection(&section_); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

    class Hold {
    public:
        explicit Hold(Lock& lock) : lock_(lock) { EnterCriticalSection(&lock_.section_); }
        ~Hold() { LeaveCriticalSection(&lock_.section_); }
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;

    private:
        Lock& lock_;
    };

private:
    CRITICAL_SECTION section_;
};

// Handles that an adapter hands out through a port: the adapter keeps the owner, the logic gets a
// number (the handle's value; 0 for none), and whatever the logic leaves open is closed when the
// adapter goes. The GUI thread and the worker thread share some adapters, so the table is locked.
// An unknown number stands for no handle: the Win32 call then fails as it does on a bad handle.
// A handful are open at a time, so a list searched from the start does.
template <class Traits>
class OwnedHandles {
public:
    using Raw = typename Traits::Handle;

    std::uintptr_t Adopt(Raw handle) {
        if (handle == Traits::invalid()) return 0;
        Lock::Hold hold(lock_);
        owners_.emplace_back(handle);
        return Id(handle);
    }
    Raw Get(std::uintptr_t id) {
        Lock::Hold hold(lock_);
        for (const Unique<Traits>& owner : owners_)
            if (Id(owner.get()) == id) return owner.get();
        return Traits::invalid();
    }
    void Close(std::uintptr_t id) {
        Unique<Traits> closed;  // released after the lock
        Lock::Hold hold(lock_);
        for (auto it = owners_.begin(); it != owners_.end(); ++it)
            if (Id(it->get()) == id) {
                closed = std::move(*it);
                owners_.erase(it);
                return;
            }
    }

private:
    static std::uintptr_t Id(Raw handle) { return reinterpret_cast<std::uintptr_t>(handle); }

    Lock lock_;
    std::vector<Unique<Traits>> owners_;
};

}  // namespace setup::win32
