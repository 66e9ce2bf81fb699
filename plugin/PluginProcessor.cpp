#include "PluginProcessor.h"

#include "Parameters.h"
#include "PluginEditor.h"
#include "Presets.h"
#include "StateBlock.h"

#include <cmath>
#include <limits>

namespace
{
constexpr double twoPi = 6.283185307179586;
constexpr double outputGainRampSeconds = 0.02;
constexpr double bypassRampSeconds = 0.01;
constexpr float bypassThreshold = 0.5f;
constexpr float mixScale = 0.01f;
constexpr const char* stateType = "PARAMETERS";

// Absurd sample rates must not overflow the int that the smoothers keep their ramp in.
int rampSteps (double seconds, double rate)
{
    const auto steps = std::floor (seconds * rate);
    return steps < (double) (1 << 30) ? (int) steps : (1 << 30);
}

// One step of the carrier, kept in [0, 2pi).
double nextPhase (double phase, double delta)
{
    phase += delta;
    return phase >= twoPi ? phase - twoPi : phase;
}

float finiteOr (float value, float fallback)
{
    return std::isfinite (value) ? value : fallback;
}

// A stored value counts only if it is a finite number; text counts if it is one whole.
bool isFiniteNumber (const juce::var& value)
{
    if (value.isInt() || value.isInt64() || value.isBool())
        return true;

    if (value.isDouble())
        return std::isfinite ((double) value);

    if (value.isString())
    {
        const auto text = value.toString().trim();
        if (! text.containsAnyOf ("0123456789") || ! text.containsOnly ("0123456789+-.eE"))
            return false;

        return std::isfinite (text.getDoubleValue());
    }

    return false;
}
} // namespace

RingProcessor::RingProcessor()
    : juce::AudioProcessor (BusesProperties()
                                .withInput ("Input", juce::AudioChannelSet::stereo(), true)
                                .withOutput ("Output", juce::AudioChannelSet::stereo(), true))
    , apvts (*this, nullptr, stateType, Params::createLayout())
{
    freqParam = apvts.getRawParameterValue ("freq");
    mixParam = apvts.getRawParameterValue ("mix");
    outputParam = apvts.getRawParameterValue ("output");
    bypassParam = apvts.getRawParameterValue ("bypass");
}

RingProcessor::~RingProcessor() = default;

const juce::String RingProcessor::getName() const
{
    return "KELTO ZAVI";
}

void RingProcessor::prepareToPlay (double newSampleRate, int)
{
    // A rate that is not a positive finite number keeps the last good one (44100 at first).
    if (std::isfinite (newSampleRate) && newSampleRate > 0.0)
        sampleRate = newSampleRate;

    phase = 0.0;

    outputGain.reset (rampSteps (outputGainRampSeconds, sampleRate));
    bypassMix.reset (rampSteps (bypassRampSeconds, sampleRate));

    setLatencySamples (0);
}

void RingProcessor::releaseResources() {}

void RingProcessor::processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
{
    juce::ScopedNoDenormals noDenormals;

    const auto numSamples = buffer.getNumSamples();
    const auto numChannels = juce::jmin (getTotalNumOutputChannels(), buffer.getNumChannels());

    for (auto ch = getTotalNumInputChannels(); ch < numChannels; ++ch)
        buffer.clear (ch, 0, numSamples);

    const auto bypassed = bypassParam->load (std::memory_order_relaxed) > bypassThreshold;
    bypassMix.setTargetValue (bypassed ? 1.0f : 0.0f);

    const auto frequency = finiteOr (freqParam->load (std::memory_order_relaxed), Params::defaultFrequency);
    const auto mix = juce::jlimit (
        0.0f, 1.0f, finiteOr (mixParam->load (std::memory_order_relaxed), Params::defaultMix) * mixScale);

    auto delta = (double) frequency * twoPi / sampleRate;
    if (! std::isfinite (delta))
        delta = 0.0;
    else if (delta >= twoPi)
        delta = std::fmod (delta, twoPi); // at very low rates one wrap per sample is not enough

    const auto gainDb = finiteOr (outputParam->load (std::memory_order_relaxed), Params::defaultOutput);
    if (! juce::exactlyEqual (gainDb, lastGainDb)) // the power function is the dearest step of a short block
    {
        lastGainDb = gainDb;
        lastGain = juce::Decibels::decibelsToGain (gainDb);
    }
    outputGain.setTargetValue (lastGain);

    // Peaks over every channel of the buffer, the unprocessed ones too; a buffer flagged
    // as silent reads 0.
    auto peakOfBuffer = [&buffer, numSamples]
    {
        auto peak = 0.0f;
        if (numSamples > 0 && ! buffer.hasBeenCleared())
            for (int ch = 0; ch < buffer.getNumChannels(); ++ch)
                peak = juce::jmax (peak, buffer.getMagnitude (ch, 0, numSamples));
        return peak;
    };

    const auto inputPeak = peakOfBuffer();
    auto outputPeak = inputPeak;

    if (numSamples > 0)
    {
        if (bypassed && ! bypassMix.isSmoothing())
        {
            // Fully dry: the output is the input, while the carrier and the gain ramp keep time.
            auto p = phase;
            for (int i = 0; i < numSamples; ++i)
                p = nextPhase (p, delta);
            phase = p;

            if (outputGain.isSmoothing())
                for (int i = 0; i < numSamples; ++i)
                    outputGain.getNextValue();
        }
        else
        {
            const auto crossfade = bypassed || bypassMix.isSmoothing();
            const auto ramp = outputGain.isSmoothing();
            const auto render =
                crossfade
                    ? (ramp ? &RingProcessor::render<true, true> : &RingProcessor::render<false, true>)
                    : (ramp ? &RingProcessor::render<true, false> : &RingProcessor::render<false, false>);
            (this->*render) (buffer.getArrayOfWritePointers(), numChannels, numSamples, mix, delta);
            outputPeak = peakOfBuffer();
        }
    }

    levels.inputPeak.store (inputPeak, std::memory_order_relaxed);
    levels.outputPeak.store (outputPeak, std::memory_order_relaxed);
}

// The carrier's sines come first, in chunks, so that the per-channel arithmetic runs in
// loops without calls that the compiler can vectorise; the crossfade reads each input sample
// before it is overwritten, so no copy of the block is needed.
template <bool rampGain, bool crossfade>
void RingProcessor::render (float* const* channels, int numChannels, int numSamples, float mix, double delta)
{
    constexpr int chunk = 256;
    float carrier[chunk], gains[chunk], weights[chunk];

    const auto dryWeight = 1.0f - mix;
    const auto steadyGain = outputGain.getTargetValue();
    auto p = phase;

    for (int start = 0; start < numSamples; start += chunk)
    {
        const auto n = juce::jmin (chunk, numSamples - start);

        for (int i = 0; i < n; ++i)
        {
            carrier[i] = (float) std::sin (p);
            p = nextPhase (p, delta);
        }

        if constexpr (rampGain)
            for (int i = 0; i < n; ++i)
                gains[i] = outputGain.getNextValue();

        if constexpr (crossfade)
            for (int i = 0; i < n; ++i)
                weights[i] = bypassMix.getNextValue();

        for (int ch = 0; ch < numChannels; ++ch)
        {
            auto* data = channels[ch] + start;

            for (int i = 0; i < n; ++i)
            {
                const auto x = data[i];
                auto y = (x * dryWeight + (x * carrier[i]) * mix) * (rampGain ? gains[i] : steadyGain);
                if constexpr (crossfade)
                    y = y * (1.0f - weights[i]) + x * weights[i];
                data[i] = y;
            }
        }
    }

    phase = p;
}

double RingProcessor::getTailLengthSeconds() const
{
    return 0.0;
}
bool RingProcessor::acceptsMidi() const
{
    return false;
}
bool RingProcessor::producesMidi() const
{
    return false;
}
bool RingProcessor::isMidiEffect() const
{
    return false;
}

juce::AudioProcessorEditor* RingProcessor::createEditor()
{
    return new RingEditor (*this);
}
bool RingProcessor::hasEditor() const
{
    return true;
}

int RingProcessor::getNumPrograms()
{
    return (int) Presets::getFactoryPresets().size();
}
int RingProcessor::getCurrentProgram()
{
    return currentProgram.load (std::memory_order_relaxed);
}

void RingProcessor::setCurrentProgram (int index)
{
    if (index < 0 || index >= getNumPrograms())
        return;

    currentProgram.store (index, std::memory_order_relaxed);

    for (const auto& [id, value] : Presets::getFactoryPresets()[(size_t) index].values)
        if (auto* param = apvts.getParameter (id))
            param->setValueNotifyingHost (param->convertTo0to1 (value));
}

const juce::String RingProcessor::getProgramName (int index)
{
    const auto& presets = Presets::getFactoryPresets();
    return juce::isPositiveAndBelow (index, (int) presets.size()) ? presets[(size_t) index].name
                                                                  : juce::String();
}

void RingProcessor::changeProgramName (int, const juce::String&) {}

void RingProcessor::getStateInformation (juce::MemoryBlock& destData)
{
    const auto state = apvts.copyState();

    if (! state.isValid())
        return;

    juce::MemoryOutputStream stream (destData, false);
    state.writeToStream (stream);
}

void RingProcessor::setStateInformation (const void* data, int sizeInBytes)
{
    if (data == nullptr || sizeInBytes <= 0 || ! StateBlock::isSafeToRead (data, (size_t) sizeInBytes))
        return;

    juce::MemoryInputStream stream (data, (size_t) sizeInBytes, false);
    auto tree = juce::ValueTree::readFromStream (stream);

    // Another plug-in's state or a stray file is not ours to load.
    if (! tree.isValid() || ! tree.hasType (stateType))
        return;

    // A value that is not a finite number would reach the audio path: treat it as missing, so
    // that its parameter goes to the default. An "id" that is not text names no parameter, and
    // the framework would turn it into text to compare (which a NaN cannot be): drop it.
    static const juce::Identifier idId ("id"), valueId ("value");
    for (auto child : tree)
    {
        if (child.hasProperty (idId) && ! child.getProperty (idId).isString())
            child.removeProperty (idId, nullptr);
        if (child.hasProperty (valueId) && ! isFiniteNumber (child.getProperty (valueId)))
            child.removeProperty (valueId, nullptr);
    }

    apvts.replaceState (tree);
}

bool RingProcessor::isBusesLayoutSupported (const BusesLayout& layouts) const
{
    const auto output = layouts.getMainOutputChannelSet();

    if (output != juce::AudioChannelSet::mono() && output != juce::AudioChannelSet::stereo())
        return false;

    return layouts.getMainInputChannelSet() == output;
}

juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter()
{
    return new RingProcessor();
}
