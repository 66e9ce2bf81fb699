#include "plugin/PluginProcessor.h"
#include "tests/support/LinearRamp.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <vector>

namespace
{
constexpr double twoPi = 6.283185307179586;

/** The signal law: carrier, mix, smoothed output gain and bypass crossfade, per block. */
struct Reference
{
    double rate = 44100.0, phase = 0.0;
    kelto::test::LinearRamp gain { 1.0f }, bypass { 0.0f };

    void prepare (double newRate)
    {
        rate = newRate;
        phase = 0.0;
        gain.reset ((int) (0.02 * rate));
        bypass.reset ((int) (0.01 * rate));
    }

    // Processes channels in place with the given parameter values (Hz, %, dB, switch).
    void process (std::vector<std::vector<float>>& chans,
                  int n,
                  float hz,
                  float mixPercent,
                  float dB,
                  bool off)
    {
        const auto dry = chans;
        bypass.setTarget (off ? 1.0f : 0.0f);
        const auto crossfade = n > 0 && (off || bypass.active());
        const auto m = juce::jlimit (0.0f, 1.0f, mixPercent * 0.01f);
        const auto delta = (double) hz * twoPi / rate;
        gain.setTarget (dB > -100.0f ? std::pow (10.0f, dB * 0.05f) : 0.0f);

        for (int i = 0; i < n; ++i)
        {
            const auto c = (float) std::sin (phase);
            phase += delta;
            if (phase >= twoPi)
                phase -= twoPi;

            const auto g = gain.next();
            const auto w = crossfade ? bypass.next() : 0.0f;

            for (size_t ch = 0; ch < chans.size(); ++ch)
            {
                const auto x = chans[ch][(size_t) i];
                auto y = (x * (1.0f - m) + (x * c) * m) * g;
                if (crossfade)
                    y = y * (1.0f - w) + dry[ch][(size_t) i] * w;
                chans[ch][(size_t) i] = y;
            }
        }
    }
};

std::vector<std::vector<float>> testSignal (int channels, int n, int offset = 0)
{
    std::vector<std::vector<float>> s ((size_t) channels, std::vector<float> ((size_t) n));
    for (int ch = 0; ch < channels; ++ch)
        for (int i = 0; i < n; ++i)
            s[(size_t) ch][(size_t) i] =
                0.8f * (float) std::sin (0.031 * (i + offset) * (ch + 1)) + 0.1f * (float) (ch + 1);
    return s;
}

class SignalPath : public ::testing::Test
{
protected:
    RingProcessor processor;
    Reference reference;
    juce::MidiBuffer midi;
    // What the audio thread should use instead of a parameter's own value, where a test says.
    std::optional<float> expectedFreq, expectedMix, expectedOutput;

    void prepare (double rate, int block = 512)
    {
        processor.prepareToPlay (rate, block);
        reference.prepare (rate);
    }

    void set (const char* id, float value)
    {
        auto* p = processor.apvts.getParameter (id);
        p->setValueNotifyingHost (p->convertTo0to1 (value));
    }

    void setAll (float hz, float mixPercent, float dB, bool off)
    {
        set ("freq", hz);
        set ("mix", mixPercent);
        set ("output", dB);
        set ("bypass", off ? 1.0f : 0.0f);
    }

    float raw (const char* id) { return processor.apvts.getRawParameterValue (id)->load(); }

    // Runs one block through both and returns the processor's output.
    std::vector<std::vector<float>> run (std::vector<std::vector<float>> input)
    {
        const auto channels = (int) input.size();
        const auto n = channels > 0 ? (int) input[0].size() : 0;
        juce::AudioBuffer<float> buffer (channels, n);
        for (int ch = 0; ch < channels; ++ch)
            buffer.copyFrom (ch, 0, input[(size_t) ch].data(), n);

        processor.processBlock (buffer, midi);
        reference.process (input,
                           n,
                           expectedFreq.value_or (raw ("freq")),
                           expectedMix.value_or (raw ("mix")),
                           expectedOutput.value_or (raw ("output")),
                           raw ("bypass") > 0.5f);

        std::vector<std::vector<float>> out ((size_t) channels, std::vector<float> ((size_t) n));
        for (int ch = 0; ch < channels; ++ch)
            for (int i = 0; i < n; ++i)
            {
                out[(size_t) ch][(size_t) i] = buffer.getSample (ch, i);
                EXPECT_EQ (buffer.getSample (ch, i), input[(size_t) ch][(size_t) i])
                    << "channel " << ch << " sample " << i;
                if (buffer.getSample (ch, i) != input[(size_t) ch][(size_t) i])
                    return out; // one failure tells enough
            }
        return out;
    }
};
} // namespace

TEST_F (SignalPath, MatchesTheSignalLawForMixSettings)
{
    const std::tuple<float, float, float> cases[] = {
        { 220.0f, 100.0f, 0.0f }, // pure ring modulation
        { 220.0f, 0.0f, 0.0f },   // input at the output gain
        { 700.0f, 37.5f, -2.0f }, // partial
        { 4.0f, 70.0f, 6.0f },    { 5000.0f, 60.0f, -3.0f },
    };

    for (auto [hz, mixPercent, dB] : cases)
    {
        SCOPED_TRACE (juce::String (hz) + " Hz, " + juce::String (mixPercent) + " %, " + juce::String (dB)
                      + " dB");
        setAll (hz, mixPercent, dB, false);
        prepare (48000.0);
        for (int block = 0; block < 4; ++block)
            run (testSignal (2, 512, block * 512));
    }
}

TEST_F (SignalPath, ZeroMixPassesInputAtGain)
{
    setAll (220.0f, 0.0f, 0.0f, false);
    prepare (44100.0);
    const auto input = testSignal (2, 256);
    EXPECT_EQ (run (input), input);
}

TEST_F (SignalPath, StereoChannelsShareTheCarrier)
{
    prepare (44100.0);
    std::vector<std::vector<float>> input (2, std::vector<float> (300, 0.5f));
    const auto out = run (input);
    EXPECT_EQ (out[0], out[1]);
    EXPECT_EQ (out[0][0], 0.0f); // the carrier starts at sin (0)
    EXPECT_NE (out[0][10], 0.0f);
}

TEST_F (SignalPath, CarrierIsContinuousAcrossBlocksOfAnySize)
{
    setAll (1234.5f, 100.0f, 0.0f, false);
    prepare (44100.0);

    const int sizes[] = { 1, 7, 64, 0, 333, 512, 2, 100 };
    int offset = 0;
    for (auto n : sizes)
    {
        SCOPED_TRACE (n);
        run (testSignal (2, n, offset));
        offset += n;
    }
}

TEST_F (SignalPath, PrepareRestartsCarrierAndEndsRampsAtOnce)
{
    prepare (44100.0);
    run (testSignal (2, 100));

    set ("bypass", 1.0f);
    run (testSignal (2, 100)); // a fade to dry is under way

    prepare (96000.0);
    const auto out = run (testSignal (2, 64));
    EXPECT_EQ (out[0], testSignal (2, 64)[0]); // fully dry at once

    set ("bypass", 0.0f);
    run (testSignal (2, 10)); // the fade back starts
    prepare (48000.0);        // and ends here
    EXPECT_EQ (run (std::vector<std::vector<float>> (2, std::vector<float> (8, 1.0f)))[0][0], 0.0f);
}

TEST_F (SignalPath, OutputGainRampsOver882SamplesAt44k)
{
    setAll (220.0f, 0.0f, 0.0f, false);
    prepare (44100.0);
    const std::vector<std::vector<float>> ones (1, std::vector<float> (1000, 1.0f));
    run (ones);

    set ("output", 12.0f);
    const auto out = run (ones)[0];
    const auto top = juce::Decibels::decibelsToGain (12.0f);
    EXPECT_NEAR (top, 3.981f, 0.001f);
    EXPECT_NEAR (out[0], 1.0f + (top - 1.0f) / 882.0f, 1.0e-5f);
    EXPECT_NEAR (out[440], 1.0f + (top - 1.0f) * 441.0f / 882.0f, 1.0e-4f);
    EXPECT_LT (out[880], top);
    EXPECT_EQ (out[881], top);
    EXPECT_EQ (out[999], top);
}

TEST_F (SignalPath, GainChangeWhileBypassedIsInaudible)
{
    setAll (220.0f, 100.0f, 0.0f, true);
    prepare (44100.0);
    const auto input = testSignal (2, 512);
    run (input);
    set ("output", 12.0f);
    EXPECT_EQ (run (input), input);
}

TEST_F (SignalPath, BypassFadesOver441SamplesAndReversesFromWhereItIs)
{
    setAll (220.0f, 100.0f, 0.0f, false);
    prepare (44100.0);
    const std::vector<std::vector<float>> ones (1, std::vector<float> (200, 1.0f));

    set ("bypass", 1.0f);
    run (ones); // 200 of 441 steps towards dry

    set ("bypass", 0.0f);
    // Back to processed over another 441 samples, starting from the weight reached.
    const std::vector<std::vector<float>> more (1, std::vector<float> (500, 1.0f));
    const auto out = run (more)[0];
    const auto c0 = (float) std::sin (200 * 220.0 * twoPi / 44100.0);
    const auto w0 = 200.0f / 441.0f - (200.0f / 441.0f) / 441.0f;
    EXPECT_NEAR (out[0], c0 * (1.0f - w0) + w0, 1.0e-4f);

    // After the ramp the processed signal is the output again.
    const auto c = (float) std::sin (std::fmod ((200 + 450) * 220.0 * twoPi / 44100.0, twoPi));
    EXPECT_NEAR (out[450], c, 1.0e-4f);
}

TEST_F (SignalPath, FullyBypassedOutputIsTheInputExactly)
{
    setAll (700.0f, 70.0f, -2.0f, true);
    prepare (44100.0);
    const auto input = testSignal (2, 512);
    run (input); // the fade
    EXPECT_EQ (run (input), input);
}

TEST_F (SignalPath, EmptyBlocksChangeNothingAndReportSilence)
{
    prepare (44100.0);
    run (testSignal (2, 100));

    set ("output", -6.0f);
    run (testSignal (2, 0)); // sets the new target; the ramp starts with the next samples
    EXPECT_EQ (processor.levels.inputPeak.load(), 0.0f);
    EXPECT_EQ (processor.levels.outputPeak.load(), 0.0f);

    juce::AudioBuffer<float> empty (2, 0);
    processor.processBlock (empty, midi);
    run (testSignal (2, 1000, 100));
}

TEST_F (SignalPath, SilentBufferGivesZeroLevelsAndZeroOutput)
{
    setAll (220.0f, 0.0f, 0.0f, true); // mid fade, so the dry copy is read
    prepare (44100.0);
    juce::AudioBuffer<float> buffer (2, 128);
    buffer.clear();
    ASSERT_TRUE (buffer.hasBeenCleared());

    processor.processBlock (buffer, midi);
    EXPECT_EQ (processor.levels.inputPeak.load(), 0.0f);
    EXPECT_EQ (processor.levels.outputPeak.load(), 0.0f);
    EXPECT_EQ (buffer.getMagnitude (0, 128), 0.0f);
}

TEST_F (SignalPath, LevelsArePeaksBeforeAndAfter)
{
    EXPECT_EQ (processor.levels.inputPeak.load(), 0.0f);
    EXPECT_EQ (processor.levels.outputPeak.load(), 0.0f);

    setAll (220.0f, 0.0f, -6.0f, false);
    prepare (44100.0);
    run (testSignal (2, 1000)); // past the gain ramp
    juce::AudioBuffer<float> buffer (2, 64);
    buffer.clear();
    buffer.setSample (1, 10, -0.75f);
    buffer.setSample (0, 20, 0.5f);
    processor.processBlock (buffer, midi);

    EXPECT_EQ (processor.levels.inputPeak.load(), 0.75f);
    EXPECT_FLOAT_EQ (processor.levels.outputPeak.load(), 0.75f * juce::Decibels::decibelsToGain (-6.0f));
}

namespace
{
// The plug-in offers only mono and stereo; this opens the door to other layouts so that
// the signal path can be driven with no output channels at all.
struct AnyLayoutProcessor : RingProcessor
{
    bool isBusesLayoutSupported (const BusesLayout&) const override { return true; }
};
} // namespace

TEST (SignalPathWithoutOutputs, CarrierAndRampsKeepTime)
{
    AnyLayoutProcessor processor;
    juce::MidiBuffer midi;
    processor.setPlayConfigDetails (0, 0, 44100.0, 512);
    ASSERT_EQ (processor.getTotalNumOutputChannels(), 0);
    processor.prepareToPlay (44100.0, 512);

    juce::AudioBuffer<float> none (0, 300);
    processor.processBlock (none, midi);

    // Back to stereo without a prepare: the carrier continues from sample 300.
    processor.setPlayConfigDetails (2, 2, 44100.0, 512);
    juce::AudioBuffer<float> buffer (2, 1);
    buffer.setSample (0, 0, 1.0f);
    buffer.setSample (1, 0, 1.0f);
    processor.processBlock (buffer, midi);
    const auto hz = (double) processor.apvts.getRawParameterValue ("freq")->load();
    EXPECT_EQ (buffer.getSample (0, 0), (float) std::sin (300 * hz * twoPi / 44100.0));
}

TEST_F (SignalPath, StrangeSampleRatesKeepTheLastGoodOne)
{
    const double rates[] = {
        0.0, -48000.0, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()
    };

    for (auto rate : rates)
    {
        SCOPED_TRACE (rate);
        processor.prepareToPlay (rate, 512);
        reference.prepare (44100.0);
        run (testSignal (2, 512));
    }

    prepare (96000.0);
    run (testSignal (2, 64));
    processor.prepareToPlay (0.0, 512);
    reference.prepare (96000.0);
    run (testSignal (2, 512));
}

TEST_F (SignalPath, CarrierStaysBoundedAtRatesBelowItsFrequency)
{
    const double rates[] = { 4000.0, 1000.0, 1.0, 1.0e-3, 1.0e-300, 5.0e-324, 1.0e12, 1.0e300 };

    for (auto rate : rates)
    {
        SCOPED_TRACE (rate);
        set ("freq", 4321.0f);
        processor.prepareToPlay (rate, 512);

        // Against the carrier computed from the exact turn fraction; the phase must stay
        // in range, so the sine is taken of a small, precise angle.
        const auto turns = (double) raw ("freq") / rate;
        for (int block = 0; block < 20; ++block)
        {
            juce::AudioBuffer<float> buffer (1, 512);
            for (int i = 0; i < 512; ++i)
                buffer.setSample (0, i, 1.0f);
            processor.processBlock (buffer, midi);

            for (int i = 0; i < 512; ++i)
                ASSERT_TRUE (std::isfinite (buffer.getSample (0, i))) << block << " " << i;

            if (rate >= 1000.0 && rate < 1.0e6 && block == 0)
                for (int i = 0; i < 512; i += 37)
                    EXPECT_NEAR (
                        buffer.getSample (0, i), std::sin (twoPi * std::fmod (i * turns, 1.0)), 1.0e-3)
                        << i;
        }
    }
}

TEST_F (SignalPath, NonFiniteParameterValuesFallBackToDefaultsForTheBlock)
{
    const auto nan = std::numeric_limits<float>::quiet_NaN();
    const auto inf = std::numeric_limits<float>::infinity();
    struct Case
    {
        const char* id;
        float bad;
    };
    const Case cases[] = {
        { "freq", nan }, { "freq", inf },   { "freq", -inf },  { "mix", nan },
        { "mix", inf },  { "output", nan }, { "output", inf }, { "output", -inf },
    };

    for (auto [id, bad] : cases)
    {
        SCOPED_TRACE (juce::String (id) + " = " + juce::String (bad));
        setAll (700.0f, 70.0f, -2.0f, false);
        prepare (44100.0);
        run (testSignal (2, 256));

        // A host wrote garbage straight into the value: the block runs on the default.
        const juce::String which (id);
        auto& expected = which == "freq" ? expectedFreq : which == "mix" ? expectedMix : expectedOutput;
        auto* rawValue = processor.apvts.getRawParameterValue (id);
        const auto good = rawValue->load();
        rawValue->store (bad);
        expected = which == "freq" ? 220.0f : which == "mix" ? 100.0f : 0.0f;
        run (testSignal (2, 256, 256));

        // And nothing is poisoned for the blocks after it.
        rawValue->store (good);
        expected.reset();
        const auto out = run (testSignal (2, 2048, 512));
        for (auto& ch : out)
            for (auto v : ch)
                ASSERT_TRUE (std::isfinite (v));
    }
}
