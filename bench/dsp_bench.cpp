// Cost of the signal path per sample frame, against the floor the algorithm cannot beat:
// one double-precision sine per frame with the same phase update, plus a copy of the block.
// Run: scripts/bench.sh (or build target kelto_dsp_bench and run it).
#include "plugin/PluginProcessor.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace
{
constexpr double twoPi = 6.283185307179586;

enum class Mode
{
    processing,
    bypassed,
    fading,
    floor,
    denormal,
    normal
};

const char* modeName (Mode m)
{
    switch (m)
    {
        case Mode::processing:
            return "processing";
        case Mode::bypassed:
            return "bypassed";
        case Mode::fading:
            return "fading";
        case Mode::floor:
            return "floor";
        case Mode::denormal:
            return "denormal";
        case Mode::normal:
            return "normal";
    }
    return "";
}

void fillNoise (juce::AudioBuffer<float>& buffer)
{
    std::mt19937 rng (42);
    std::uniform_real_distribution<float> dist (-1.0f, 1.0f);
    for (int ch = 0; ch < buffer.getNumChannels(); ++ch)
        for (int i = 0; i < buffer.getNumSamples(); ++i)
            buffer.setSample (ch, i, dist (rng));
}

std::unique_ptr<RingProcessor> makeProcessor (int channels, double rate, int block)
{
    auto p = std::make_unique<RingProcessor>();
    const auto set = channels == 1 ? juce::AudioChannelSet::mono() : juce::AudioChannelSet::stereo();
    juce::AudioProcessor::BusesLayout layout;
    layout.inputBuses.add (set);
    layout.outputBuses.add (set);
    p->setBusesLayout (layout);
    p->setRateAndBufferSizeDetails (rate, block);
    p->prepareToPlay (rate, block);

    auto setParam = [&p] (const char* id, float v)
    {
        auto* param = p->apvts.getParameter (id);
        param->setValueNotifyingHost (param->convertTo0to1 (v));
    };
    setParam ("freq", 700.0f);
    setParam ("mix", 70.0f);
    setParam ("output", -2.0f);
    return p;
}

void dsp (benchmark::State& state, int channels, double rate, int block, Mode mode)
{
    auto processor = makeProcessor (channels, rate, block);
    juce::AudioBuffer<float> buffer (channels, block);
    fillNoise (buffer);
    juce::MidiBuffer midi;
    auto* bypass = processor->apvts.getRawParameterValue ("bypass");

    if (mode == Mode::bypassed)
    {
        bypass->store (1.0f);
        for (int i = 0; i < 100; ++i)
            processor->processBlock (buffer, midi); // past the fade
    }

    // In-place processing lets the signal wander; the values do not change the cost,
    // since denormals are flushed for the whole block.
    bool on = false;
    for (auto _ : state)
    {
        if (mode == Mode::fading)
            bypass->store ((on = ! on) ? 1.0f : 0.0f); // a fade starts every block, as automation lands
        processor->processBlock (buffer, midi);
        benchmark::ClobberMemory();
    }

    state.SetItemsProcessed ((int64_t) state.iterations() * block);
    state.counters["ns/frame"] = benchmark::Counter (
        (double) state.iterations() * block, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void floorLoop (benchmark::State& state, int channels, double rate, int block)
{
    juce::AudioBuffer<float> buffer (channels, block), copy (channels, block);
    fillNoise (buffer);
    const auto delta = 700.0 * twoPi / rate;
    double phase = 0.0;

    for (auto _ : state)
    {
        for (int ch = 0; ch < channels; ++ch)
            copy.copyFrom (ch, 0, buffer, ch, 0, block);

        auto* out = copy.getWritePointer (0);
        for (int i = 0; i < block; ++i)
        {
            out[i] = (float) std::sin (phase); // consumed, so the sine is really computed
            phase += delta;
            if (phase >= twoPi)
                phase -= twoPi;
        }
        benchmark::ClobberMemory();
    }

    state.SetItemsProcessed ((int64_t) state.iterations() * block);
    state.counters["ns/frame"] = benchmark::Counter (
        (double) state.iterations() * block, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// A signal that decays from full scale into the denormal range over 10 s of audio,
// against the same processing of a signal that stays normal.
void denormals (benchmark::State& state, Mode mode)
{
    constexpr double rate = 48000.0;
    constexpr int block = 512;
    constexpr int blocks = (int) (10 * rate) / block;
    auto processor = makeProcessor (2, rate, block);
    juce::MidiBuffer midi;

    std::vector<juce::AudioBuffer<float>> input;
    input.reserve (blocks);
    // Per block, a factor that takes 1.0 down to about 1e-44 over the whole run.
    const auto decay = std::pow (1.0e-44, 1.0 / (blocks * (double) block));
    double level = 1.0;
    std::mt19937 rng (7);
    std::uniform_real_distribution<float> dist (-1.0f, 1.0f);
    for (int b = 0; b < blocks; ++b)
    {
        juce::AudioBuffer<float> buf (2, block);
        for (int i = 0; i < block; ++i)
        {
            const auto gain = mode == Mode::denormal ? (float) level : 0.5f;
            level *= decay;
            for (int ch = 0; ch < 2; ++ch)
                buf.setSample (ch, i, dist (rng) * gain);
        }
        input.push_back (std::move (buf));
    }

    juce::AudioBuffer<float> work (2, block);
    int b = 0;
    for (auto _ : state)
    {
        work.makeCopyOf (input[(size_t) b], true);
        b = (b + 1) % blocks;
        processor->processBlock (work, midi);
        benchmark::ClobberMemory();
    }
    state.counters["ns/frame"] = benchmark::Counter (
        (double) state.iterations() * block, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// Collects ns per frame of every case, to print the ratios to the floor at the end.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    std::map<std::string, double> nsPerFrame;

    void ReportRuns (const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns (runs);
        for (const auto& run : runs)
            if (run.run_type == Run::RT_Aggregate ? run.aggregate_name == "median" : true)
            {
                auto it = run.counters.find ("ns/frame");
                if (it != run.counters.end())
                    nsPerFrame[run.run_name.function_name] = it->second.value * 1.0e9; // seconds per frame
            }
    }
};

std::string caseName (Mode mode, int channels, double rate, int block)
{
    return std::string (modeName (mode)) + "/" + (channels == 1 ? "mono" : "stereo") + "/"
           + std::to_string ((int) rate) + "/" + std::to_string (block);
}
} // namespace

int main (int argc, char** argv)
{
    juce::ScopedJuceInitialiser_GUI juce;

    const int channelCounts[] = { 1, 2 };
    const double rates[] = { 44100.0, 48000.0, 96000.0 };
    const int blocks[] = { 16, 64, 512, 4096 };
    const Mode modes[] = { Mode::processing, Mode::bypassed, Mode::fading };

    for (auto channels : channelCounts)
        for (auto rate : rates)
            for (auto block : blocks)
            {
                benchmark::RegisterBenchmark (
                    caseName (Mode::floor, channels, rate, block).c_str(), floorLoop, channels, rate, block);
                for (auto mode : modes)
                    benchmark::RegisterBenchmark (
                        caseName (mode, channels, rate, block).c_str(), dsp, channels, rate, block, mode);
            }

    benchmark::RegisterBenchmark ("denormal/decaying", denormals, Mode::denormal);
    benchmark::RegisterBenchmark ("denormal/normal", denormals, Mode::normal);

    benchmark::Initialize (&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks (&reporter);

    std::printf ("\n%-30s %10s %10s %8s %10s\n", "case", "ns/frame", "floor", "ratio", "RT factor");
    bool targetsMet = true;
    for (auto channels : channelCounts)
        for (auto rate : rates)
            for (auto block : blocks)
            {
                const auto floorNs = reporter.nsPerFrame[caseName (Mode::floor, channels, rate, block)];
                for (auto mode : modes)
                {
                    const auto name = caseName (mode, channels, rate, block);
                    if (reporter.nsPerFrame.count (name) == 0 || floorNs <= 0.0)
                        continue;
                    const auto ns = reporter.nsPerFrame[name];
                    const auto ratio = ns / floorNs;
                    const auto realTime = 1.0e9 / (rate * ns);
                    std::printf (
                        "%-30s %10.2f %10.2f %8.3f %10.0f\n", name.c_str(), ns, floorNs, ratio, realTime);

                    const auto target = block == 16 ? 2.0
                                        : (channels == 2 && rate == 48000.0 && block == 512)
                                            ? (mode == Mode::processing ? 1.15
                                               : mode == Mode::bypassed ? 1.3
                                                                        : 1e9)
                                            : 1e9;
                    if (ratio > target)
                    {
                        std::printf ("  ^ above its target of %.2fx\n", target);
                        targetsMet = false;
                    }
                }
            }

    if (reporter.nsPerFrame.count ("denormal/decaying") && reporter.nsPerFrame.count ("denormal/normal"))
    {
        const auto ratio = reporter.nsPerFrame["denormal/decaying"] / reporter.nsPerFrame["denormal/normal"];
        std::printf ("\ndenormal signal / normal signal: %.3f (target <= 1.2)\n", ratio);
        targetsMet = targetsMet && ratio <= 1.2;
    }

    std::printf ("\n%s\n", targetsMet ? "all targets met" : "TARGETS MISSED");
    benchmark::Shutdown();
    return 0;
}
