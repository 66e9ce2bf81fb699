#include "CountingAllocator.h"

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <new>

extern "C" void* __libc_malloc (size_t);
extern "C" void* __libc_calloc (size_t, size_t);
extern "C" void* __libc_realloc (void*, size_t);
extern "C" void* __libc_memalign (size_t, size_t);
extern "C" void __libc_free (void*);

namespace
{
thread_local int countingScopes = 0;
std::atomic<long long> allocations { 0 };
// Set KELTO_TRAP_ON_ALLOCATION to stop in a debugger at the first counted allocation.
const bool trapOnAllocation = std::getenv ("KELTO_TRAP_ON_ALLOCATION") != nullptr;

__attribute__ ((noinline)) void note()
{
    if (countingScopes > 0)
    {
        allocations.fetch_add (1, std::memory_order_relaxed);
        if (trapOnAllocation)
            __builtin_trap();
    }
}
} // namespace

namespace kelto::test
{
CountAllocations::CountAllocations() : start (allocations.load())
{
    ++countingScopes;
}

CountAllocations::~CountAllocations()
{
    --countingScopes;
}

long long CountAllocations::count() const
{
    return allocations.load() - start;
}

long long countedAllocations()
{
    return allocations.load();
}
} // namespace kelto::test

extern "C" void* malloc (size_t size)
{
    note();
    return __libc_malloc (size);
}

extern "C" void* calloc (size_t n, size_t size)
{
    note();
    return __libc_calloc (n, size);
}

extern "C" void* realloc (void* p, size_t size)
{
    note();
    return __libc_realloc (p, size);
}

extern "C" void* aligned_alloc (size_t align, size_t size)
{
    note();
    return __libc_memalign (align, size);
}

extern "C" int posix_memalign (void** p, size_t align, size_t size)
{
    note();
    *p = __libc_memalign (align, size);
    return *p != nullptr || size == 0 ? 0 : ENOMEM;
}

extern "C" void free (void* p)
{
    __libc_free (p);
}

void* operator new (size_t size)
{
    note();
    if (auto* p = __libc_malloc (size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}

void* operator new[] (size_t size)
{
    return operator new (size);
}

void* operator new (size_t size, std::align_val_t align)
{
    note();
    if (auto* p = __libc_memalign ((size_t) align, size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}

void* operator new[] (size_t size, std::align_val_t align)
{
    return operator new (size, align);
}

void operator delete (void* p) noexcept
{
    __libc_free (p);
}
void operator delete[] (void* p) noexcept
{
    __libc_free (p);
}
void operator delete (void* p, size_t) noexcept
{
    __libc_free (p);
}
void operator delete[] (void* p, size_t) noexcept
{
    __libc_free (p);
}
void operator delete (void* p, std::align_val_t) noexcept
{
    __libc_free (p);
}
void operator delete[] (void* p, std::align_val_t) noexcept
{
    __libc_free (p);
}
void operator delete (void* p, size_t, std::align_val_t) noexcept
{
    __libc_free (p);
}
void operator delete[] (void* p, size_t, std::align_val_t) noexcept
{
    __libc_free (p);
}
