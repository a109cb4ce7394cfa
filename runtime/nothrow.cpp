// The C++ runtime's failure paths for Ravlet.exe and setup.exe, which are built without exceptions.
//
// Neither program throws or catches. Yet the library's operator new and the std::__throw_* helpers
// that the standard headers call (a vector or string past its maximum size, an allocation that
// fails) throw, and linking them pulls in the whole exception machinery: the unwinder, the
// personality routine, the verbose terminate handler with its demangler, and printf with its
// floating-point formatting, several times the programs' own code. An exception there ended in
// std::terminate and so in abort(), as nothing catches it; these definitions go to abort() at once.
// Defined here, in an object of the program, they take the place of the library's.
//
// Function-local statics keep their thread-safe initialisation (the launcher runs its installation
// on a worker thread), but through the guard below: the library's guard throws on a recursive
// initialisation and so would pull the same machinery in.
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <new>

void* operator new(std::size_t size) {
    if (void* p = std::malloc(size ? size : 1)) return p;
    std::abort();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size ? size : 1); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size ? size : 1); }

namespace std {
void __throw_bad_exception() { abort(); }
void __throw_bad_alloc() { abort(); }
void __throw_bad_array_new_length() { abort(); }
void __throw_bad_cast() { abort(); }
void __throw_bad_typeid() { abort(); }
void __throw_logic_error(const char*) { abort(); }
void __throw_domain_error(const char*) { abort(); }
void __throw_invalid_argument(const char*) { abort(); }
void __throw_length_error(const char*) { abort(); }
void __throw_out_of_range(const char*) { abort(); }
void __throw_out_of_range_fmt(const char*, ...) { abort(); }
void __throw_runtime_error(const char*) { abort(); }
void __throw_range_error(const char*) { abort(); }
void __throw_overflow_error(const char*) { abort(); }
void __throw_underflow_error(const char*) { abort(); }
void __throw_bad_function_call() { abort(); }
}  // namespace std

// The guard of a function-local static (Itanium C++ ABI): byte 0 is set once the object is
// initialised; here byte 1 marks an initialisation under way and the next four bytes name its
// thread. A second thread waits for the first to finish; the initialising thread coming back to
// the same object is a recursive initialisation, which is undefined and ends the program.
namespace {
struct Guard {
    volatile char done;
    volatile char busy;
    char unused[2];
    volatile DWORD owner;
};
static_assert(sizeof(Guard) <= sizeof(std::uint64_t), "the ABI's guard object is 64 bits");
}  // namespace

extern "C" int __cxa_guard_acquire(std::uint64_t* object) {
    Guard* g = reinterpret_cast<Guard*>(object);
    for (;;) {
        if (__atomic_load_n(&g->done, __ATOMIC_ACQUIRE)) return 0;
        char idle = 0;
        if (__atomic_compare_exchange_n(&g->busy, &idle, 1, false, __ATOMIC_ACQUIRE, __ATOMIC_RELAXED)) {
            __atomic_store_n(&g->owner, GetCurrentThreadId(), __ATOMIC_RELAXED);
            return 1;
        }
        if (__atomic_load_n(&g->owner, __ATOMIC_RELAXED) == GetCurrentThreadId()) std::abort();
        Sleep(1);
    }
}

extern "C" void __cxa_guard_release(std::uint64_t* object) {
    Guard* g = reinterpret_cast<Guard*>(object);
    __atomic_store_n(&g->owner, 0, __ATOMIC_RELAXED);
    __atomic_store_n(&g->done, 1, __ATOMIC_RELEASE);
    __atomic_store_n(&g->busy, 0, __ATOMIC_RELEASE);
}

extern "C" void __cxa_guard_abort(std::uint64_t* object) {
    Guard* g = reinterpret_cast<Guard*>(object);
    __atomic_store_n(&g->owner, 0, __ATOMIC_RELAXED);
    __atomic_store_n(&g->busy, 0, __ATOMIC_RELEASE);
}
