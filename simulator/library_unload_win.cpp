// Clean unloading of the stand-in libraries on Windows. The program loads them afresh for
// every request and unloads them after it, so whatever their statically linked C++ and
// threads runtimes keep for the life of the module must be given back at unload; otherwise
// each request leaves some 70 KB of memory and one thread-local slot behind, and once the
// process's slots run out (about a thousand) the threads runtime aborts the whole program.
#include <windows.h>

#include <cstdint>

namespace __gnu_cxx {
// Frees the C++ runtime's reserve for throwing exceptions when memory is short, which it
// takes when the module starts and never frees by itself (it offers this call for leak
// checkers).
void __freeres() noexcept;
}  // namespace __gnu_cxx

// The threads runtime's identity of the calling thread; its first call takes the runtime's
// thread-local slot.
extern "C" std::uintptr_t pthread_self();

namespace {

// The thread-local slot the threads runtime took for this module, once it is known for sure.
DWORD g_threads_slot = TLS_OUT_OF_INDEXES;

// Runs before any other start-up code of the module. The threads runtime remembers its slot
// only to itself, so this finds it out: a slot is taken and given back, and the runtime, made
// to take its slot right after, gets the lowest free one, the same.
void NTAPI NoteThreadsSlot(PVOID, DWORD reason, PVOID) {
    if (reason != DLL_PROCESS_ATTACH) {
        return;
    }
    const DWORD probe = TlsAlloc();
    if (probe == TLS_OUT_OF_INDEXES) {
        return;
    }
    TlsFree(probe);
    pthread_self();
    // A newly taken slot holds null on every thread, and only code on this thread can have
    // stored a value in it since: when it holds one, the runtime took this slot and no other
    // module did in between.
    if (TlsGetValue(probe) != nullptr) {
        g_threads_slot = probe;
    }
}

// Constructed before every other static object of the module, so destroyed after all of
// them: nothing of the module's runtime runs once this has given its parts back.
struct RuntimeRelease {
    RuntimeRelease() = default;
    RuntimeRelease(const RuntimeRelease&) = delete;
    RuntimeRelease& operator=(const RuntimeRelease&) = delete;
    ~RuntimeRelease() {
        __gnu_cxx::__freeres();
        if (g_threads_slot != TLS_OUT_OF_INDEXES) {
            TlsFree(g_threads_slot);
            g_threads_slot = TLS_OUT_OF_INDEXES;
        }
    }
};

__attribute__((init_priority(101))) RuntimeRelease g_runtime_release;

}  // namespace

// The loader calls the module's thread-local storage callbacks in the order of their section
// names, before the module's entry point; the runtime's own come after this one.
extern "C" __attribute__((section(".CRT$XLB"), used))
const PIMAGE_TLS_CALLBACK g_note_threads_slot = NoteThreadsSlot;
