// Soak run of the processor: ten minutes of 48 kHz audio (or the seconds given as the first
// argument), processed as fast as it goes, in random block sizes with every parameter
// automated at every block and random program changes. Fails (exit code 1) on heap use while
// processing, on a non-finite or out-of-bounds sample, on a carrier that jumps across block
// boundaries, or when processing the last minute costs over 1.5 times the first.
#include "plugin/PluginProcessor.h"
#include "tests/support/CountingAllocator.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <random>
#include <time.h>
#include <vector>

namespace
{
constexpr double sampleRate = 48000.0;
constexpr int maxBlock = 512;
constexpr int channels = 2;
constexpr double twoPi = 6.283185307179586;
constexpr long long minute = 60 * 48000;
constexpr long long probeInterval = 15 * 48000;
// Longer than both smoothing ramps (960 and 480 samples at this rate).
constexpr long long settleSamples = 2048;
constexpr long long probeSamples = 8192;
// Far below the smallest per-sample phase step of a probe (100 Hz: 0.013 rad), far above
// the error of the starting phase recovered from two float samples.
constexpr double probeTolerance = 5.0e-4;
// The top of the output parameter's range, +12 dB, as a gain factor (slightly rounded up).
constexpr float largestGain = 3.98108f;
// The gain ramp adds its step once per sample in single precision, so on its way up it can
// pass its target by the rounding it gathers (up to 2.3e-5 of the value, over 960 steps at
// 48 kHz) before its last step lands on the target exactly.
constexpr float rampSlack = 1.0f + 1.0e-4f;
constexpr double allowedDrift = 1.5;

double threadNanoseconds()
{
    timespec now {};
    clock_gettime (CLOCK_THREAD_CPUTIME_ID, &now);
    return (double) now.tv_sec * 1.0e9 + (double) now.tv_nsec;
}

double wallNanoseconds()
{
    return std::chrono::duration<double, std::nano> (std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The wall time of the processing calls within one minute of audio. On a busy machine that
// includes time spent preempted by other programs, so it is also scaled by the share of the
// minute's wall time that this thread actually ran, read from its processor clock at the
// minute's two ends: two clock readings a minute instead of a costly one per block.
struct Timing
{
    void begin()
    {
        if (running || ended)
            return;
        running = true;
        wallAtStart = wallNanoseconds();
        threadAtStart = threadNanoseconds();
    }

    void end()
    {
        if (! running)
            return;
        running = false;
        ended = true;
        const auto wall = wallNanoseconds() - wallAtStart;
        const auto thread = threadNanoseconds() - threadAtStart;
        runningShare = wall > 0.0 ? std::min (1.0, thread / wall) : 1.0;
    }

    double perSample() const { return samples > 0 ? nanoseconds / (double) samples : 0.0; }
    double runningPerSample() const { return perSample() * runningShare; }

    double nanoseconds = 0.0;
    long long samples = 0;
    bool running = false, ended = false;
    double wallAtStart = 0.0, threadAtStart = 0.0, runningShare = 1.0;
};

class Soak
{
public:
    explicit Soak (long long samplesToRun) : totalSamples (samplesToRun)
    {
        processor.prepareToPlay (sampleRate, maxBlock);
        for (const auto* id : { "freq", "mix", "output", "bypass" })
            parameters.push_back (processor.apvts.getParameter (id));
        freqValue = processor.apvts.getRawParameterValue ("freq");
        outputValue = processor.apvts.getRawParameterValue ("output");

        // Sized once at the largest block, so that smaller sizes reuse the storage.
        buffer.setSize (channels, maxBlock);
        input.setSize (channels, maxBlock);
        noise.resize (1 << 16);
        std::uniform_real_distribution<float> sample (-1.0f, 1.0f);
        for (auto& x : noise)
            x = sample (rng);
    }

    int run()
    {
        const auto wallStart = std::chrono::steady_clock::now();
        auto nextProbe = probeInterval;

        while (done < totalSamples)
        {
            if (done >= nextProbe)
            {
                probe();
                nextProbe += probeInterval;
                continue;
            }

            automate();
            fillNoise (blockSize());
            process();
        }

        const auto wallSeconds =
            std::chrono::duration<double> (std::chrono::steady_clock::now() - wallStart).count();
        return report (wallSeconds);
    }

private:
    int blockSize() { return std::uniform_int_distribution<int> (0, maxBlock) (rng); }

    float normalisedValue()
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

    void automate()
    {
        for (auto* parameter : parameters)
            parameter->setValueNotifyingHost (normalisedValue());

        // About once every twenty blocks, invalid indices included.
        if (std::uniform_int_distribution<int> (0, 19) (rng) == 0)
        {
            processor.setCurrentProgram (std::uniform_int_distribution<int> (-2, 7) (rng));
            ++programChanges;
        }
    }

    void setPlain (int index, float value)
    {
        parameters[(size_t) index]->setValueNotifyingHost (parameters[(size_t) index]->convertTo0to1 (value));
    }

    void fillNoise (int n)
    {
        buffer.setSize (channels, n, false, false, true);
        input.setSize (channels, n, false, false, true);
        for (int ch = 0; ch < channels; ++ch)
        {
            auto* in = input.getWritePointer (ch);
            for (int i = 0; i < n; ++i)
                in[i] = noise[(noiseIndex++) & (noise.size() - 1)];
            buffer.copyFrom (ch, 0, input, ch, 0, n);
        }
    }

    void fillConstant (int n)
    {
        buffer.setSize (channels, n, false, false, true);
        input.setSize (channels, n, false, false, true);
        for (int ch = 0; ch < channels; ++ch)
        {
            input.clear (ch, 0, n);
            juce::FloatVectorOperations::fill (input.getWritePointer (ch), 1.0f, n);
            buffer.copyFrom (ch, 0, input, ch, 0, n);
        }
    }

    // Processes the prepared block and checks every sample against the input.
    void process()
    {
        const auto n = buffer.getNumSamples();

        const auto start = std::chrono::steady_clock::now();
        {
            const kelto::test::CountAllocations audioThread;
            processor.processBlock (buffer, midi);
        }
        const auto nanoseconds =
            std::chrono::duration<double, std::nano> (std::chrono::steady_clock::now() - start).count();

        if (done < minute)
            addTiming (first, nanoseconds, n);
        if (done + n > totalSamples - minute)
            addTiming (last, nanoseconds, n);

        for (int ch = 0; ch < channels; ++ch)
            for (int i = 0; i < n; ++i)
            {
                const auto x = input.getSample (ch, i);
                const auto y = buffer.getSample (ch, i);

                if (! std::isfinite (y))
                    fail (nonFinite, "non-finite sample", ch, i, x, y);
                else if (std::abs (y) > largestGain * std::abs (x) * rampSlack + 1.0e-7f)
                    fail (outOfBounds, "sample beyond the largest gain", ch, i, x, y);
            }

        done += n;
        ++blocks;
        if (done >= minute)
            first.end();
    }

    void addTiming (Timing& timing, double nanoseconds, int n)
    {
        timing.nanoseconds += nanoseconds;
        timing.samples += n;
    }

    void fail (long long& counter, const char* what, int ch, int i, float x, float y)
    {
        if (++counter <= 5)
            std::printf ("FAIL: %s at sample %lld (channel %d): input %.9g, output %.9g\n",
                         what,
                         done + i,
                         ch,
                         (double) x,
                         (double) y);
    }

    // Full mix, unity gain, constant input 1.0: the output is the carrier itself, which
    // must follow one continuously advancing phase across block boundaries, also across a
    // frequency change at one of them.
    void probe()
    {
        std::uniform_real_distribution<float> probeFrequency (100.0f, 4000.0f);
        setPlain (0, probeFrequency (rng));
        setPlain (1, 100.0f);
        setPlain (2, 0.0f);
        setPlain (3, 0.0f);

        for (long long settled = 0; settled < settleSamples;)
        {
            fillConstant (blockSize());
            settled += buffer.getNumSamples();
            process();
        }

        const auto gain = juce::Decibels::decibelsToGain (outputValue->load());
        auto delta = (double) freqValue->load() * twoPi / sampleRate;
        std::vector<float> firstSamples;
        double phase = 0.0;
        bool phaseKnown = false;
        bool changed = false;
        long long checked = 0;
        ++probes;

        while (checked < probeSamples)
        {
            if (! changed && checked >= probeSamples / 2)
            {
                setPlain (0, probeFrequency (rng));
                delta = (double) freqValue->load() * twoPi / sampleRate;
                changed = true;
            }

            const auto n = blockSize();
            fillConstant (n);
            process();

            for (int i = 0; i < n; ++i)
            {
                const auto y = (double) buffer.getSample (0, i);

                if (buffer.getSample (1, i) != buffer.getSample (0, i))
                    failProbe ("channels differ", i, y, 0.0);

                if (! phaseKnown)
                {
                    // The start phase, from two consecutive samples of the same sine.
                    firstSamples.push_back ((float) (y / gain));
                    if (firstSamples.size() == 2)
                    {
                        const auto s0 = (double) firstSamples[0];
                        const auto s1 = (double) firstSamples[1];
                        const auto c0 = (s1 - s0 * std::cos (delta)) / std::sin (delta);
                        phase = std::atan2 (s0, c0);
                        if (phase < 0.0)
                            phase += twoPi;
                        // Both recovered samples must lie on that sine.
                        checkSample (s0 * gain, phase, gain, i);
                        phase = advance (phase, delta);
                        checkSample (s1 * gain, phase, gain, i);
                        phase = advance (phase, delta);
                        phaseKnown = true;
                    }
                    continue;
                }

                checkSample (y, phase, gain, i);
                phase = advance (phase, delta);
            }

            checked += n;
        }
    }

    static double advance (double phase, double delta)
    {
        phase += delta;
        return phase >= twoPi ? phase - twoPi : phase;
    }

    void checkSample (double y, double phase, double gain, int i)
    {
        const auto expected = gain * std::sin (phase);
        const auto error = std::abs (y - expected);
        maxProbeError = std::max (maxProbeError, error);
        if (error > probeTolerance)
            failProbe ("carrier off its continuous phase", i, y, expected);
    }

    void failProbe (const char* what, int i, double y, double expected)
    {
        if (++probeFailures <= 5)
            std::printf ("FAIL: %s in probe %d near sample %lld: output %.9f, expected %.9f\n",
                         what,
                         probes,
                         done + i,
                         y,
                         expected);
    }

    int report (double wallSeconds)
    {
        last.end();
        const auto ratio =
            first.runningPerSample() > 0.0 ? last.runningPerSample() / first.runningPerSample() : 0.0;
        const auto drifted = ratio > allowedDrift;

        std::printf ("audio: %.1f s at 48 kHz in %lld blocks, %.1f s of wall time (%.0fx real time)\n",
                     (double) done / sampleRate,
                     blocks,
                     wallSeconds,
                     (double) done / sampleRate / wallSeconds);
        std::printf ("program changes: %lld\n", programChanges);
        std::printf ("allocations while processing: %lld\n", kelto::test::countedAllocations());
        std::printf (
            "non-finite samples: %lld, samples beyond the gain bound: %lld\n", nonFinite, outOfBounds);
        std::printf ("carrier probes: %d, failures %lld, largest deviation %.3g\n",
                     probes,
                     probeFailures,
                     maxProbeError);
        std::printf ("cost, first minute: %.2f ns/sample (%.2f wall, thread running %.0f %% of it)\n",
                     first.runningPerSample(),
                     first.perSample(),
                     100.0 * first.runningShare);
        std::printf ("cost, last minute:  %.2f ns/sample (%.2f wall, thread running %.0f %% of it)\n",
                     last.runningPerSample(),
                     last.perSample(),
                     100.0 * last.runningShare);
        std::printf ("cost ratio, last to first: %.3f (limit %.1f)\n", ratio, allowedDrift);

        const auto passed = kelto::test::countedAllocations() == 0 && nonFinite == 0 && outOfBounds == 0
                            && probeFailures == 0 && probes > 0 && ! drifted;
        std::printf ("%s\n", passed ? "PASS" : "FAIL");
        return passed ? 0 : 1;
    }

    RingProcessor processor;
    std::vector<juce::RangedAudioParameter*> parameters;
    std::atomic<float>* freqValue = nullptr;
    std::atomic<float>* outputValue = nullptr;

    juce::AudioBuffer<float> buffer, input;
    juce::MidiBuffer midi;
    std::vector<float> noise;
    size_t noiseIndex = 0;
    std::mt19937 rng { 20240611 };

    const long long totalSamples;
    long long done = 0, blocks = 0, programChanges = 0;
    long long nonFinite = 0, outOfBounds = 0, probeFailures = 0;
    int probes = 0;
    double maxProbeError = 0.0;
    Timing first, last;
};
} // namespace

int main (int argc, char** argv)
{
    const auto seconds = argc > 1 ? std::atof (argv[1]) : 600.0;
    if (! (seconds >= 120.0))
    {
        std::fprintf (stderr, "usage: kelto_soak [seconds of audio, at least 120]\n");
        return 2;
    }

    return Soak ((long long) (seconds * sampleRate)).run();
}
