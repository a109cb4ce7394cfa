// One owner template for every Win32 handle kind; a traits struct per kind says what "no handle"
// is and how to release one.
#pragma once
#include "platform.h"
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

struct HandleTraits {
    using Handle = HANDLE;
    static Handle invalid() { return nullptr; }
    static void close(Handle h) { CloseHandle(h); }
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
using UniqueKey = Unique<KeyTraits>;
using UniqueGdi = Unique<GdiTraits>;
using UniqueDc = Unique<DcTraits>;
using UniqueGlobal = Unique<GlobalTraits>;

}  // namespace setup::win32
