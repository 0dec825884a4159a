// The global operator new and delete of the module and the command: memory exhaustion in our own
// allocations ends in the internal-fault abort where it happens, without throwing std::bad_alloc.
// A throw needs the C++ runtime's per-thread exception state; with the runtime in a library
// loaded by dlopen (the shared libstdc++, or the libc++abi linked into the portable module),
// glibc allocates that state on the thread's first use of it, and when that is a throw with memory
// gone it fails and ends the process with a message of its own instead of ours (see also
// prepare_exception_state in fault.hpp). The nothrow forms still return null.
//
// Each block comes from malloc (or posix_memalign) and goes back through free, as with the C++
// runtime's own operators, so a block that the shared libstdc++'s compiled code frees with its
// operator delete, or one of its blocks freed with ours, is still freed rightly.
//
// Sanitizers that replace the allocator bring their own operator new and delete, and check that
// each block is freed by the kind of call that allocated it; ours there would hide that check and
// trip it whenever the shared C++ runtime frees one of our blocks. They get none of this.
#include <stdlib.h>

#include <cstddef>
#include <new>
#include <type_traits>

#include "common/fault.hpp"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_HWADDRESS__) || defined(__SANITIZE_THREAD__)
#define SOLVARINTH_SANITIZER_ALLOCATOR 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(hwaddress_sanitizer) || \
    __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
#define SOLVARINTH_SANITIZER_ALLOCATOR 1
#endif
#endif

#ifndef SOLVARINTH_SANITIZER_ALLOCATOR

// Hidden, so that the module still exports only its init function and the command does not hand
// its operators to the shared libstdc++. Both compilers give them the default visibility of the
// runtime's <new> despite -fvisibility=hidden, and neither takes an attribute against it (g++
// ignores one, clang refuses it), so the assembler is told. The names are those of a 64-bit size_t.
static_assert(std::is_same_v<std::size_t, unsigned long>, "the hidden names below mangle size_t as m");
asm(".hidden _Znwm\n.hidden _Znam\n"
    ".hidden _ZnwmRKSt9nothrow_t\n.hidden _ZnamRKSt9nothrow_t\n"
    ".hidden _ZnwmSt11align_val_t\n.hidden _ZnamSt11align_val_t\n"
    ".hidden _ZnwmSt11align_val_tRKSt9nothrow_t\n.hidden _ZnamSt11align_val_tRKSt9nothrow_t\n"
    ".hidden _ZdlPv\n.hidden _ZdaPv\n.hidden _ZdlPvm\n.hidden _ZdaPvm\n"
    ".hidden _ZdlPvRKSt9nothrow_t\n.hidden _ZdaPvRKSt9nothrow_t\n"
    ".hidden _ZdlPvSt11align_val_t\n.hidden _ZdaPvSt11align_val_t\n"
    ".hidden _ZdlPvmSt11align_val_t\n.hidden _ZdaPvmSt11align_val_t\n"
    ".hidden _ZdlPvSt11align_val_tRKSt9nothrow_t\n.hidden _ZdaPvSt11align_val_tRKSt9nothrow_t\n");

namespace {

// No new-handler loop: nothing in the module installs one, and one installed by other code sharing
// the C++ runtime could only throw std::bad_alloc back into us.
void* allocate(std::size_t size) noexcept { return ::malloc(size == 0 ? 1 : size); }

void* allocate(std::size_t size, std::align_val_t alignment) noexcept {
    std::size_t align = static_cast<std::size_t>(alignment);
    if (align < sizeof(void*)) align = sizeof(void*);  // posix_memalign's least
    void* block = nullptr;
    return ::posix_memalign(&block, align, size == 0 ? 1 : size) == 0 ? block : nullptr;
}

template <typename... Alignment>
void* allocate_or_abort(std::size_t size, Alignment... alignment) noexcept {
    void* block = allocate(size, alignment...);
    if (block == nullptr) solvarinth::fatal(solvarinth::kOutOfMemory);
    return block;
}

}  // namespace

void* operator new(std::size_t size) { return allocate_or_abort(size); }
void* operator new[](std::size_t size) { return allocate_or_abort(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void* operator new(std::size_t size, std::align_val_t align) { return allocate_or_abort(size, align); }
void* operator new[](std::size_t size, std::align_val_t align) { return allocate_or_abort(size, align); }
void* operator new(std::size_t size, std::align_val_t align, const std::nothrow_t&) noexcept {
    return allocate(size, align);
}
void* operator new[](std::size_t size, std::align_val_t align, const std::nothrow_t&) noexcept {
    return allocate(size, align);
}

void operator delete(void* block) noexcept { ::free(block); }
void operator delete[](void* block) noexcept { ::free(block); }
void operator delete(void* block, std::size_t) noexcept { ::free(block); }
void operator delete[](void* block, std::size_t) noexcept { ::free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { ::free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { ::free(block); }
void operator delete(void* block, std::align_val_t) noexcept { ::free(block); }
void operator delete[](void* block, std::align_val_t) noexcept { ::free(block); }
void operator delete(void* block, std::size_t, std::align_val_t) noexcept { ::free(block); }
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept { ::free(block); }
void operator delete(void* block, std::align_val_t, const std::nothrow_t&) noexcept { ::free(block); }
void operator delete[](void* block, std::align_val_t, const std::nothrow_t&) noexcept { ::free(block); }

#endif
