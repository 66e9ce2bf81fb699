// The audio thread must never allocate. Every heap request in this program goes through
// the replacements below, which count while a test says so.
#include "plugin/PluginProcessor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

extern "C" void* __libc_malloc (size_t);
extern "C" void* __libc_calloc (size_t, size_t);
extern "C" void* __libc_realloc (void*, size_t);
extern "C" void* __libc_memalign (size_t, size_t);
extern "C" void __libc_free (void*);

namespace
{
// Only the thread under test counts; the framework's own threads may allocate freely.
thread_local bool counting = false;
std::atomic<int> allocations { 0 };
// Set KELTO_TRAP_ON_ALLOCATION to stop in a debugger at the first counted allocation.
const bool trapOnAllocation = std::getenv ("KELTO_TRAP_ON_ALLOCATION") != nullptr;

__attribute__ ((noinline)) void note()
{
    if (counting)
    {
        allocations.fetch_add (1, std::memory_order_relaxed);
        if (trapOnAllocation)
            __builtin_trap();
    }
}

struct CountAllocations
{
    CountAllocations()
    {
        allocations = 0;
        counting = true;
    }
    ~CountAllocations() { counting = false; }
    int count() const { return allocations.load(); }
    CountAllocations (const CountAllocations&) = delete;
};
} // namespace

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

TEST (RealTime, CountingSeesAllocations)
{
    CountAllocations counter;
    auto* p = new int (3);
    delete p;
    EXPECT_GE (counter.count(), 1); // the hook works, so a zero below means something
}

TEST (RealTime, ProcessingWithinThePreparedSizeNeverAllocates)
{
    for (auto layout : { juce::AudioChannelSet::stereo(), juce::AudioChannelSet::mono() })
    {
        SCOPED_TRACE (layout.getDescription());
        RingProcessor processor;
        juce::AudioProcessor::BusesLayout buses;
        buses.inputBuses.add (layout);
        buses.outputBuses.add (layout);
        ASSERT_TRUE (processor.setBusesLayout (buses));

        constexpr int maxBlock = 512;
        processor.prepareToPlay (48000.0, maxBlock);

        const auto channels = layout.size();
        // Sized through setSize, whose storage arithmetic lets later smaller sizes reuse it.
        juce::AudioBuffer<float> buffer;
        buffer.setSize (channels, maxBlock);
        juce::MidiBuffer midi;
        auto* bypass = processor.apvts.getRawParameterValue ("bypass");
        auto* output = processor.apvts.getRawParameterValue ("output");
        auto* freq = processor.apvts.getRawParameterValue ("freq");

        CountAllocations counter;
        // Processing, gain ramps, fading to dry, bypassed, fading back, silent and odd sizes.
        for (int block = 0; block < 400; ++block)
        {
            const auto n = (block * 37) % (maxBlock + 1);
            buffer.setSize (channels, n, false, false, true);
            for (int ch = 0; ch < channels; ++ch)
                for (int i = 0; i < n; ++i)
                    buffer.setSample (ch, i, (float) ((i % 100) - 50) * 0.01f);
            if (block % 50 == 7)
                buffer.clear();

            bypass->store ((block / 60) % 2 == 1 ? 1.0f : 0.0f);
            output->store ((float) ((block % 7) - 3));
            freq->store (block % 11 == 0 ? std::numeric_limits<float>::quiet_NaN() : 100.0f + (float) block);
            processor.processBlock (buffer, midi);
        }
        EXPECT_EQ (counter.count(), 0);
    }
}

int main (int argc, char** argv)
{
    testing::InitGoogleTest (&argc, argv);
    return RUN_ALL_TESTS();
}
