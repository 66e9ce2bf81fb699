// One thread processes audio while others automate the parameters, switch programs, save
// and load the state, and the message thread runs an open editor. Built with
// ThreadSanitizer this finds data races; in every build it checks the output stays finite
// and within the gain the parameters allow.
#include "plugin/PluginProcessor.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace juce::detail
{
// The framework's own message pump, as its modal loops use it; those loops are compiled out
// of this build, so the test drives the queue the same way they would.
bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages);
} // namespace juce::detail

namespace
{
constexpr double sampleRate = 48000.0;
constexpr int maxBlock = 512;
constexpr int maxBlocks = 200000;
// Bounds the run under ThreadSanitizer; in a plain build the block limit ends it first or
// soon after.
constexpr auto maxDuration = std::chrono::seconds (3);

// The top of the output parameter's range, +12 dB, as a gain factor (slightly rounded up).
constexpr float largestGain = 3.98108f;
// The gain ramp adds its step once per sample in single precision, so on its way up it can
// pass its target by the rounding it gathers (up to 2.3e-5 of the value, over 960 steps at
// 48 kHz) before its last step lands on the target exactly.
constexpr float rampSlack = 1.0f + 1.0e-4f;

void pumpMessages (int milliseconds)
{
    const auto end = juce::Time::getMillisecondCounter() + (juce::uint32) milliseconds;

    while (juce::Time::getMillisecondCounter() < end)
        if (! juce::detail::dispatchNextMessageOnSystemQueue (true))
            juce::Thread::sleep (1);
}

// Failures seen off the main thread, kept for the main thread to report.
struct Findings
{
    void add (const std::string& what)
    {
        const std::lock_guard<std::mutex> lock (mutex);
        if (++count <= 10)
            messages.push_back (what);
    }

    std::mutex mutex;
    int count = 0;
    std::vector<std::string> messages;
};

float normalisedValue (std::mt19937& rng)
{
    // The extremes of the range as often as the inside of it.
    switch (std::uniform_int_distribution<int> (0, 3) (rng))
    {
        case 0:
            return 0.0f;
        case 1:
            return 1.0f;
        default:
            return std::uniform_real_distribution<float> (0.0f, 1.0f) (rng);
    }
}
} // namespace

TEST (Stress, ProcessingStaysBoundedWhileEverythingElseChangesOnOtherThreads)
{
    RingProcessor processor;
    processor.prepareToPlay (sampleRate, maxBlock);
    ASSERT_EQ (processor.getTotalNumOutputChannels(), 2);

    std::vector<juce::RangedAudioParameter*> parameters;
    for (const auto* id : { "freq", "mix", "output", "bypass" })
    {
        auto* parameter = processor.apvts.getParameter (id);
        ASSERT_NE (parameter, nullptr) << id;
        parameters.push_back (parameter);
    }

    std::atomic<bool> stop { false };
    std::atomic<int> blocksDone { 0 };
    Findings findings;
    long long samplesChecked = 0;
    int parameterWrites = 0, programChanges = 0, stateLoads = 0, editorTicks = 0;

    std::thread audio (
        [&]
        {
            std::mt19937 rng (1);
            std::uniform_int_distribution<int> blockSize (0, maxBlock);
            std::uniform_real_distribution<float> sample (-1.0f, 1.0f);

            juce::AudioBuffer<float> buffer (2, maxBlock);
            juce::AudioBuffer<float> input (2, maxBlock);
            juce::MidiBuffer midi;
            const auto deadline = std::chrono::steady_clock::now() + maxDuration;

            for (int block = 0; block < maxBlocks && std::chrono::steady_clock::now() < deadline; ++block)
            {
                const auto n = blockSize (rng);
                buffer.setSize (2, n, false, false, true);

                auto peak = 0.0f;
                for (int ch = 0; ch < 2; ++ch)
                    for (int i = 0; i < n; ++i)
                    {
                        const auto x = sample (rng);
                        input.setSample (ch, i, x);
                        buffer.setSample (ch, i, x);
                        peak = std::max (peak, std::abs (x));
                    }

                {
                    // As the plug-in wrapper does around every block.
                    const juce::ScopedLock lock (processor.getCallbackLock());
                    processor.processBlock (buffer, midi);
                }

                if (processor.levels.inputPeak.load() != peak)
                    findings.add ("block " + std::to_string (block) + ": input peak "
                                  + std::to_string (processor.levels.inputPeak.load()) + ", expected "
                                  + std::to_string (peak));

                for (int ch = 0; ch < 2; ++ch)
                    for (int i = 0; i < n; ++i)
                    {
                        const auto x = input.getSample (ch, i);
                        const auto y = buffer.getSample (ch, i);
                        // Mix and crossfade only blend within the input's magnitude; the
                        // output gain may scale it up to the top of its range.
                        const auto bound = largestGain * std::abs (x) * rampSlack + 1.0e-7f;

                        if (! std::isfinite (y) || std::abs (y) > bound)
                            findings.add ("block " + std::to_string (block) + ", channel "
                                          + std::to_string (ch) + ", sample " + std::to_string (i)
                                          + ": input " + std::to_string (x) + ", output "
                                          + std::to_string (y));
                    }

                samplesChecked += 2 * n;
                blocksDone = block + 1;
            }

            stop = true;
        });

    std::thread automation (
        [&]
        {
            std::mt19937 rng (2);
            std::uniform_int_distribution<size_t> which (0, parameters.size() - 1);

            while (! stop)
            {
                parameters[which (rng)]->setValueNotifyingHost (normalisedValue (rng));
                ++parameterWrites;
                std::this_thread::yield();
            }
        });

    std::thread programs (
        [&]
        {
            std::mt19937 rng (3);
            // Two invalid indices on each side of the six programs.
            std::uniform_int_distribution<int> index (-2, 7);

            while (! stop)
            {
                processor.setCurrentProgram (index (rng));
                ++programChanges;
                std::this_thread::yield();
            }
        });

    std::thread state (
        [&]
        {
            std::mt19937 rng (4);
            std::vector<juce::MemoryBlock> saved;

            while (! stop)
            {
                juce::MemoryBlock block;
                processor.getStateInformation (block);
                saved.push_back (std::move (block));
                if (saved.size() > 8)
                    saved.erase (saved.begin());

                const auto& chosen = saved[std::uniform_int_distribution<size_t> (0, saved.size() - 1) (rng)];
                processor.setStateInformation (chosen.getData(), (int) chosen.getSize());
                ++stateLoads;
                std::this_thread::yield();
            }
        });

    // Opened while the others are already running, as a host opens the window during
    // playback. The first is closed halfway through, with notifications still arriving from
    // the other threads; the second stays until processing ends. Both go before the processor.
    const auto halfway = std::chrono::steady_clock::now() + maxDuration / 2;
    for (int round = 0; round < 2; ++round)
    {
        std::unique_ptr<juce::AudioProcessorEditor> editor (processor.createEditor());
        EXPECT_NE (editor, nullptr);

        while (! stop && (round == 1 || std::chrono::steady_clock::now() < halfway))
        {
            pumpMessages (20);
            ++editorTicks;
            // Painting reads what the timers and attachments last set.
            if (editor != nullptr && editorTicks % 10 == 0)
                editor->createComponentSnapshot (editor->getLocalBounds(), true, 0.5f);
        }
    }

    audio.join();
    automation.join();
    programs.join();
    state.join();
    // Updates that the other threads posted for the editor's attachments, now gone.
    pumpMessages (50);

    std::cout << blocksDone << " blocks (" << samplesChecked << " samples checked), " << parameterWrites
              << " parameter writes, " << programChanges << " program calls, " << stateLoads
              << " state loads, " << editorTicks << " message pumps" << std::endl;

    EXPECT_EQ (findings.count, 0);
    for (const auto& message : findings.messages)
        ADD_FAILURE() << message;

    // Every kind of work overlapped with processing.
    EXPECT_GT (blocksDone.load(), 100);
    EXPECT_GT (parameterWrites, 0);
    EXPECT_GT (programChanges, 0);
    EXPECT_GT (stateLoads, 0);
    EXPECT_GT (editorTicks, 0);
}

int main (int argc, char** argv)
{
    const juce::ScopedJuceInitialiser_GUI juce;
    testing::InitGoogleTest (&argc, argv);
    return RUN_ALL_TESTS();
}
