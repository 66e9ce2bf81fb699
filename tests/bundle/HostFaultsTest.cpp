#include "BundleTestSupport.h"
#include "HostWindow.h"
#include "tests/support/LinearRamp.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace kelto::vst3::test
{
namespace
{
    using namespace Steinberg;
    using namespace std::chrono_literals;

    //==============================================================================
    /** A parameter's range as JUCE holds it, so that the value the audio thread reads can be
        derived from a normalised host value with the same float arithmetic.
    */
    struct Range
    {
        float start, end, interval, skew;

        float snap (float v) const
        {
            v = start + interval * std::floor ((v - start) / interval + 0.5f);
            return (v <= start || end <= start) ? start : (v >= end ? end : v);
        }

        float fromNormalised (float proportion) const
        {
            proportion = std::clamp (proportion, 0.0f, 1.0f);

            if (skew != 1.0f && proportion > 0.0f)
                proportion = std::exp (std::log (proportion) / skew);

            return snap (start + (end - start) * proportion);
        }

        float toNormalised (float v) const
        {
            const auto proportion = std::clamp ((snap (v) - start) / (end - start), 0.0f, 1.0f);
            return skew == 1.0f ? proportion : std::pow (proportion, skew);
        }

        /** The parameter stores the plain value; the tree's raw value is derived again from the
            parameter's normalised value.
        */
        float held (float plain) const { return fromNormalised (toNormalised (plain)); }
    };

    const Range freqRange { 1.0f, 5000.0f, 0.01f, 0.3f };
    const Range mixRange { 0.0f, 100.0f, 0.1f, 1.0f };
    const Range outputRange { -24.0f, 12.0f, 0.1f, 1.0f };

    /** Normalised host values of the three parameters that shape the signal. */
    struct Settings
    {
        double freq, mix, output;

        std::vector<ParamChange> changes() const
        {
            return { { freqID, freq }, { mixID, mix }, { outputID, output } };
        }
    };

    /** Plain values as the audio thread reads them. */
    struct Values
    {
        float freqHz = 220.0f, mixPercent = 100.0f, outputDb = 0.0f;

        static Values fromHost (const Settings& s)
        {
            return { freqRange.held (freqRange.fromNormalised ((float) s.freq)),
                     mixRange.held (mixRange.fromNormalised ((float) s.mix)),
                     outputRange.held (outputRange.fromNormalised ((float) s.output)) };
        }

        /** After a save and a load in another instance. */
        Values reloaded() const
        {
            return { freqRange.held (freqHz), mixRange.held (mixPercent), outputRange.held (outputDb) };
        }
    };

    // Away from the defaults and from each other, so that a lost or stale value shows.
    const Settings playing { 0.45, 0.8, 0.6 };
    const Settings loaded { 0.55, 0.35, 0.75 };

    /** The ring modulator's signal law, computed independently of the plug-in: one double carrier
        phase for all channels, block-wise frequency and mix, a 20 ms linear output-gain ramp.
    */
    class Reference
    {
    public:
        explicit Reference (double rate) { prepare (rate); }

        /** What a prepare does: the carrier restarts at phase 0 and the gain ramp ends. */
        void prepare (double rate)
        {
            sampleRate = rate;
            phase = 0.0;
            gain.reset ((int) std::floor (0.02 * rate));
        }

        Values values;

        Channels process (const Channels& input)
        {
            auto output = input;
            const auto numSamples = input.empty() ? size_t { 0 } : input.front().size();
            const auto delta = (double) values.freqHz * twoPi / sampleRate;
            const auto m = std::clamp (values.mixPercent * 0.01f, 0.0f, 1.0f);
            gain.setTarget (values.outputDb > -100.0f ? std::pow (10.0f, values.outputDb * 0.05f) : 0.0f);

            for (size_t i = 0; i < numSamples; ++i)
            {
                const auto c = (float) std::sin (phase);

                for (auto& channel : output)
                    channel[i] = channel[i] * (1.0f - m) + (channel[i] * c) * m;

                phase += delta;

                if (phase >= twoPi)
                    phase -= twoPi;
            }

            for (size_t i = 0; i < numSamples; ++i)
            {
                const auto g = gain.next();

                for (auto& channel : output)
                    channel[i] *= g;
            }

            return output;
        }

    private:
        double sampleRate = 44100.0, phase = 0.0;
        kelto::test::LinearRamp gain { 1.0f };
    };

    // The parameter holds its value only to float precision and the carrier is a float sine, so
    // allow a little more than rounding; a wrong phase, rate or value is off by far more.
    constexpr float lawTolerance = 1.0e-5f;

    ::testing::AssertionResult
        matches (const Channels& expected, const Channels& actual, float tolerance, const std::string& where)
    {
        if (expected.size() != actual.size())
            return ::testing::AssertionFailure()
                   << where << ": channel count " << actual.size() << ", expected " << expected.size();

        for (size_t ch = 0; ch < expected.size(); ++ch)
        {
            if (expected[ch].size() != actual[ch].size())
                return ::testing::AssertionFailure()
                       << where << ": channel " << ch << " has " << actual[ch].size() << " samples";

            for (size_t i = 0; i < expected[ch].size(); ++i)
                if (! std::isfinite (actual[ch][i])
                    || ! (std::abs (expected[ch][i] - actual[ch][i]) <= tolerance))
                    return ::testing::AssertionFailure()
                           << where << ", channel " << ch << ", sample " << i << ": " << actual[ch][i]
                           << ", expected " << expected[ch][i];
        }

        return ::testing::AssertionSuccess();
    }

    /** Feeds an instance block after block, keeping the input's time running. */
    class Feeder
    {
    public:
        explicit Feeder (PluginInstance& p) : instance (p) {}

        Channels nextInput (int numSamples)
        {
            auto input = makeSine (2, numSamples, position, 440.0, 0.5f);
            position += numSamples;
            return input;
        }

        /** Processes the next block and compares it with what the reference makes of it. */
        ::testing::AssertionResult processAndCheck (Reference& reference,
                                                    int numSamples,
                                                    const std::vector<ParamChange>& changes = {})
        {
            const auto input = nextInput (numSamples);
            Channels output;

            if (const auto result = instance.process (input, output, changes); result != kResultOk)
                return ::testing::AssertionFailure()
                       << "block " << numBlock << ": process answered " << result;

            return matches (
                reference.process (input), output, lawTolerance, "block " + std::to_string (numBlock++));
        }

        PluginInstance& instance;
        long long position = 0;
        int numBlock = 0;
    };

    std::unique_ptr<PluginInstance> makeProcessingInstance (double rate, int32 maxBlockSize)
    {
        auto instance = makeInstance();

        if (instance != nullptr && ! instance->startProcessing (rate, maxBlockSize))
        {
            ADD_FAILURE() << "the instance would not start processing";
            return nullptr;
        }

        return instance;
    }

    //==============================================================================
    /** Processes blocks up to 16 times the prepared maximum, then ends the process: with code 0
        when every block followed the law, else with 1 after saying why.
    */
    [[noreturn]] void processOversizedBlocksAndExit (PluginInstance& instance)
    {
        Feeder feeder (instance);
        Reference reference (sampleRate);
        reference.values = Values::fromHost (playing);
        bool first = true;

        // Back to the prepared size in between, and larger again, as after storage has grown.
        for (const auto numSamples : { 256, 1024, 4096, 256, 1024, 4096, 128 })
        {
            const auto result = feeder.processAndCheck (
                reference, numSamples, first ? playing.changes() : std::vector<ParamChange> {});
            first = false;

            if (! result)
            {
                std::fprintf (stderr, "block of %d samples: %s\n", numSamples, result.message());
                std::_Exit (1);
            }
        }

        std::_Exit (0);
    }

    // In a child process, so that a crash fails this test alone.
    TEST (HostFaultsDeathTest, BlocksLargerThanThePreparedMaximumFollowTheLaw)
    {
        auto instance = makeProcessingInstance (sampleRate, 256);
        ASSERT_NE (instance, nullptr);

        EXPECT_EXIT (processOversizedBlocksAndExit (*instance), ::testing::ExitedWithCode (0), "")
            << "after setupProcessing with a maximum of 256 samples per block";
    }

    struct RateStep
    {
        const char* name;
        double rate;
        int32 maxBlockSize;
    };

    TEST (HostFaults, ASampleRateChangeMidStreamMovesTheCarrierToTheNewRate)
    {
        const std::vector<RateStep> steps {
            { "44.1 kHz", 44100.0, 512 },
            { "96 kHz", 96000.0, 512 },
            { "48 kHz with smaller blocks", 48000.0, 256 },
        };

        auto instance = makeProcessingInstance (steps.front().rate, steps.front().maxBlockSize);
        ASSERT_NE (instance, nullptr);

        Feeder feeder (*instance);
        Reference reference (steps.front().rate);
        reference.values = Values::fromHost (playing);

        for (size_t s = 0; s < steps.size(); ++s)
        {
            const auto& step = steps[s];
            SCOPED_TRACE (step.name);

            if (s > 0)
            {
                // The full sequence a host runs to change the rate of a running instance.
                ASSERT_TRUE (instance->setProcessing (false));
                ASSERT_TRUE (instance->setActive (false));
                ASSERT_TRUE (instance->setupProcessing (step.rate, step.maxBlockSize));
                ASSERT_TRUE (instance->setActive (true));
                ASSERT_TRUE (instance->setProcessing (true));
                reference.prepare (step.rate);
            }

            for (int block = 0; block < 6; ++block)
                ASSERT_TRUE (feeder.processAndCheck (reference,
                                                     step.maxBlockSize,
                                                     s == 0 && block == 0 ? playing.changes()
                                                                          : std::vector<ParamChange> {}));
        }
    }

    struct Cycle
    {
        const char* name;
        bool
            deactivates; // setActive(false)/true around setProcessing(false)/true: the wrapper prepares again
    };

    TEST (HostFaults, RepeatedProcessingAndActivationCyclesKeepTheLaw)
    {
        const std::vector<Cycle> cycles {
            { "setProcessing off and on", false },
            { "setActive off and on", true },
        };

        auto instance = makeProcessingInstance (sampleRate, blockSize);
        ASSERT_NE (instance, nullptr);

        Feeder feeder (*instance);
        Reference reference (sampleRate);
        reference.values = Values::fromHost (playing);

        // The first block starts a gain ramp that runs across the first cycles.
        ASSERT_TRUE (feeder.processAndCheck (reference, 300, playing.changes()));

        for (int n = 0; n < 12; ++n)
        {
            const auto& cycle = cycles[(size_t) n % cycles.size()];
            SCOPED_TRACE ("cycle " + std::to_string (n + 1) + ": " + cycle.name);

            ASSERT_TRUE (instance->setProcessing (false));

            if (cycle.deactivates)
            {
                ASSERT_TRUE (instance->setActive (false));
                ASSERT_TRUE (instance->setActive (true));
                reference.prepare (sampleRate);
            }

            ASSERT_TRUE (instance->setProcessing (true));

            for (const auto numSamples : { 300, blockSize })
                ASSERT_TRUE (feeder.processAndCheck (reference, numSamples));
        }
    }

    struct BypassBlock
    {
        std::vector<ParamChange> changes;
        bool hostBypassed;
    };

    TEST (HostFaults, HostBypassPassesTheInputAndTheCarrierResumesWhereItStopped)
    {
        auto instance = makeProcessingInstance (sampleRate, blockSize);
        ASSERT_NE (instance, nullptr);

        // A frequency change made while bypassed must hold once the bypass is released.
        const auto playingChanges = playing.changes();
        const std::vector<BypassBlock> blocks {
            { playingChanges, false },
            { {}, false },
            { { { hostBypassID, 1.0 } }, true },
            { { { freqID, loaded.freq } }, true },
            { {}, true },
            { { { hostBypassID, 0.0 } }, false },
            { {}, false },
            { {}, false },
        };

        Feeder feeder (*instance);
        Reference reference (sampleRate);

        for (size_t b = 0; b < blocks.size(); ++b)
        {
            const auto& block = blocks[b];
            const auto where = "block " + std::to_string (b);

            for (const auto& change : block.changes)
            {
                if (change.id == freqID)
                    reference.values.freqHz =
                        freqRange.held (freqRange.fromNormalised ((float) change.value));
                else if (change.id == mixID)
                    reference.values.mixPercent =
                        mixRange.held (mixRange.fromNormalised ((float) change.value));
                else if (change.id == outputID)
                    reference.values.outputDb =
                        outputRange.held (outputRange.fromNormalised ((float) change.value));
            }

            const auto input = feeder.nextInput (blockSize);
            Channels output;
            ASSERT_EQ (instance->process (input, output, block.changes), kResultOk) << where;

            // While the host bypass is on, the processor's signal path is not run at all.
            ASSERT_TRUE (matches (block.hostBypassed ? input : reference.process (input),
                                  output,
                                  block.hostBypassed ? 0.0f : lawTolerance,
                                  where + (block.hostBypassed ? " (host bypass on)" : "")));
        }
    }

    //==============================================================================
    /** A host audio thread that processes blocks until stopped and keeps what went in and out. */
    class RecordingAudioThread
    {
    public:
        struct Block
        {
            Channels input, output;
            tresult result;
        };

        RecordingAudioThread (PluginInstance& p,
                              std::vector<ParamChange> first,
                              std::chrono::milliseconds pause)
            : instance (p)
            , firstChanges (std::move (first))
            , pauseBetweenBlocks (pause)
            , thread ([this] { run(); })
        {
        }

        ~RecordingAudioThread() { stop(); }

        void stop()
        {
            shouldStop = true;

            if (thread.joinable())
                thread.join();
        }

        int getNumBlocks() const noexcept { return numBlocks; }

        /** Waits until the thread has finished at least n blocks; false if it stalls. */
        bool waitForBlocks (int n) const
        {
            const auto deadline = std::chrono::steady_clock::now() + 10s;

            while (numBlocks < n)
            {
                if (std::chrono::steady_clock::now() > deadline)
                    return false;

                std::this_thread::sleep_for (1ms);
            }

            return true;
        }

        /** Only once stopped. */
        const std::vector<Block>& getBlocks() const noexcept { return blocks; }

    private:
        void run()
        {
            for (long long position = 0; ! shouldStop; position += blockSize)
            {
                Block block { makeSine (2, blockSize, position, 440.0, 0.5f), {}, kResultOk };
                block.result = instance.process (
                    block.input, block.output, blocks.empty() ? firstChanges : std::vector<ParamChange> {});
                blocks.push_back (std::move (block));
                ++numBlocks;
                std::this_thread::sleep_for (pauseBetweenBlocks);
            }
        }

        PluginInstance& instance;
        const std::vector<ParamChange> firstChanges;
        const std::chrono::milliseconds pauseBetweenBlocks;
        std::vector<Block> blocks;
        std::atomic<int> numBlocks { 0 };
        std::atomic<bool> shouldStop { false };
        std::thread thread;
    };

    /** Values with some of them already switched: bit 0 frequency, bit 1 mix, bit 2 output. */
    Values partlySwitched (const Values& before, const Values& after, int switched)
    {
        return { (switched & 1) != 0 ? after.freqHz : before.freqHz,
                 (switched & 2) != 0 ? after.mixPercent : before.mixPercent,
                 (switched & 4) != 0 ? after.outputDb : before.outputDb };
    }

    std::vector<char> stateSavedWith (const Settings& settings)
    {
        auto instance = makeProcessingInstance (sampleRate, blockSize);

        if (instance == nullptr)
            return {};

        Channels output;
        instance->process (makeSine (2, blockSize, 0, 440.0, 0.5f), output, settings.changes());
        instance->stopProcessing();
        return instance->getComponentState();
    }

    TEST (HostFaults, StateLoadedWhileProcessingArrivesAndTakesOverTheSignal)
    {
        const auto saved = stateSavedWith (loaded);
        ASSERT_FALSE (saved.empty());

        auto instance = makeProcessingInstance (sampleRate, blockSize);
        ASSERT_NE (instance, nullptr);

        RecordingAudioThread audio (*instance, playing.changes(), 1ms);
        ASSERT_TRUE (audio.waitForBlocks (10));

        // The host's UI thread loads while the audio thread keeps going.
        const auto blocksBeforeLoad = audio.getNumBlocks();
        EXPECT_EQ (instance->setComponentState (saved), kResultOk);
        const auto blocksAfterLoad = audio.getNumBlocks();

        ASSERT_TRUE (audio.waitForBlocks (blocksAfterLoad + 10));
        audio.stop();

        EXPECT_NEAR (instance->getController().getParamNormalized (freqID), loaded.freq, 1.0e-4);
        EXPECT_NEAR (instance->getController().getParamNormalized (mixID), loaded.mix, 1.0e-4);
        EXPECT_NEAR (instance->getController().getParamNormalized (outputID), loaded.output, 1.0e-4);

        // The load sets the parameters one by one, so a block or two may see some of them new and
        // some old; each one switches once and for all, and the carrier never jumps.
        const auto before = Values::fromHost (playing);
        const auto after = Values::fromHost (loaded).reloaded();
        Reference reference (sampleRate);
        int switched = 0, firstSwitchedBlock = -1, lastSwitchingBlock = -1;
        const auto& blocks = audio.getBlocks();

        for (size_t b = 0; b < blocks.size(); ++b)
        {
            ASSERT_EQ (blocks[b].result, kResultOk) << "block " << b;
            bool explained = false;

            for (int candidate = switched; candidate < 8 && ! explained; ++candidate)
            {
                if ((candidate & switched) != switched)
                    continue;

                auto trial = reference;
                trial.values = partlySwitched (before, after, candidate);

                if (matches (trial.process (blocks[b].input), blocks[b].output, lawTolerance, {}))
                {
                    if (candidate != switched)
                    {
                        if (firstSwitchedBlock < 0)
                            firstSwitchedBlock = (int) b;

                        lastSwitchingBlock = (int) b;
                    }

                    reference = trial;
                    switched = candidate;
                    explained = true;
                }
            }

            ASSERT_TRUE (explained) << "block " << b << " of " << blocks.size()
                                    << " follows the law with no mix of the playing and the loaded values"
                                    << " (switched so far: " << switched << ", load between blocks "
                                    << blocksBeforeLoad << " and " << blocksAfterLoad << ")";
        }

        RecordProperty ("loadedBetweenBlocks",
                        std::to_string (blocksBeforeLoad) + "-" + std::to_string (blocksAfterLoad));
        RecordProperty ("switchedInBlocks",
                        std::to_string (firstSwitchedBlock) + "-" + std::to_string (lastSwitchingBlock));
        EXPECT_EQ (switched, 7) << "not every loaded value reached the signal";
        EXPECT_GE (firstSwitchedBlock, blocksBeforeLoad);
        EXPECT_LE (lastSwitchingBlock, blocksAfterLoad + 1);
    }

    //==============================================================================
    TEST (EditorWindow, OpensAndClosesWhileProcessingWithoutDisturbingTheSignal)
    {
        if (std::getenv ("DISPLAY") == nullptr)
            GTEST_SKIP() << "no X display; ctest runs this test under xvfb-run";

        const HostWindow hostWindow;
        ASSERT_TRUE (hostWindow.isOpen()) << "cannot open the X display";

        PlugFrame frame (hostWindow.display, hostWindow.window);
        HostContext host (&frame);
        const HeadlessAgain headlessAgain;

        auto instance = makeInstance (&host);
        ASSERT_NE (instance, nullptr);
        ASSERT_TRUE (instance->startProcessing (sampleRate, blockSize));

        {
            RecordingAudioThread audio (*instance, playing.changes(), 5ms);
            ASSERT_TRUE (audio.waitForBlocks (2));

            for (int opening = 0; opening < 3; ++opening)
            {
                SCOPED_TRACE ("opening " + std::to_string (opening + 1));

                auto view = owned (instance->getController().createView (Vst::ViewType::kEditor));
                ASSERT_NE (view, nullptr);
                ASSERT_EQ (view->setFrame (&frame), kResultOk);
                ASSERT_EQ (view->attached (reinterpret_cast<void*> (hostWindow.window),
                                           kPlatformTypeX11EmbedWindowID),
                           kResultTrue);
                frame.pumpFor (250ms);
                EXPECT_EQ (getChildWindows (hostWindow.display, hostWindow.window).size(), 1u);

                EXPECT_EQ (view->removed(), kResultOk);
                view->setFrame (nullptr);
                view = nullptr;
                frame.pumpFor (50ms);
            }

            audio.stop();

            Reference reference (sampleRate);
            reference.values = Values::fromHost (playing);
            const auto& blocks = audio.getBlocks();
            EXPECT_GT (blocks.size(), 20u);

            for (size_t b = 0; b < blocks.size(); ++b)
            {
                ASSERT_EQ (blocks[b].result, kResultOk) << "block " << b;
                ASSERT_TRUE (
                    matches (reference.process (blocks[b].input),
                             blocks[b].output,
                             lawTolerance,
                             "block " + std::to_string (b) + " of " + std::to_string (blocks.size())));
            }
        }

        RecordProperty ("xErrors", numXErrors.load());
    }
} // namespace
} // namespace kelto::vst3::test
