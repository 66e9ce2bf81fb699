#pragma once

// Programs that link CountingAllocator.cpp route every heap request through a counter, so
// that they can prove a stretch of code allocates nothing. Only the thread inside a
// CountAllocations scope counts; the framework's own threads may allocate freely.
namespace kelto::test
{
/** Counts heap requests made on this thread while it lives. */
class CountAllocations
{
public:
    CountAllocations();
    ~CountAllocations();
    CountAllocations (const CountAllocations&) = delete;
    CountAllocations& operator= (const CountAllocations&) = delete;

    /** Heap requests counted since this scope began. */
    long long count() const;

private:
    long long start;
};

/** All heap requests counted so far, on any thread while it counted. */
long long countedAllocations();
} // namespace kelto::test
