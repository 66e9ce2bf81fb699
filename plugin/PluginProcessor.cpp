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

float finiteOr (float value, float fallback)
{
    return std::isfinite (value) ? value : fallback;
}

float peakOf (const juce::AudioBuffer<float>& buffer, int numSamples)
{
    if (numSamples <= 0 || buffer.hasBeenCleared())
        return 0.0f;

    auto peak = 0.0f;
    for (int ch = 0; ch < buffer.getNumChannels(); ++ch)
        peak = juce::jmax (peak, buffer.getMagnitude (ch, 0, numSamples));

    return peak;
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
        if (text.isEmpty() || !text.containsOnly ("0123456789+-.eE"))
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

void RingProcessor::prepareToPlay (double newSampleRate, int maximumExpectedSamplesPerBlock)
{
    // A rate that is not a positive finite number keeps the last good one (44100 at first).
    if (std::isfinite (newSampleRate) && newSampleRate > 0.0)
        sampleRate = newSampleRate;

    phase = 0.0;

    outputGain.reset (rampSteps (outputGainRampSeconds, sampleRate));
    bypassMix.reset (rampSteps (bypassRampSeconds, sampleRate));

    dryBuffer.setSize (juce::jmax (1, getTotalNumOutputChannels()),
                       juce::jmax (0, maximumExpectedSamplesPerBlock),
                       false,
                       false,
                       false);

    setLatencySamples (0);
}

void RingProcessor::releaseResources() {}

void RingProcessor::processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
{
    juce::ScopedNoDenormals noDenormals;

    const auto numSamples = buffer.getNumSamples();
    const auto bufferChannels = buffer.getNumChannels();
    const auto numChannels = juce::jmin (getTotalNumOutputChannels(), bufferChannels);

    for (auto ch = getTotalNumInputChannels(); ch < numChannels; ++ch)
        buffer.clear (ch, 0, numSamples);

    levels.inputPeak.store (peakOf (buffer, numSamples), std::memory_order_relaxed);

    const auto bypassed = bypassParam->load (std::memory_order_relaxed) > bypassThreshold;
    bypassMix.setTargetValue (bypassed ? 1.0f : 0.0f);

    // The dry copy is read only by the crossfade, so it is made only when that will run.
    const auto crossfade = numSamples > 0 && (bypassed || bypassMix.isSmoothing());
    if (crossfade)
        dryBuffer.makeCopyOf (buffer, true);

    const auto frequency = finiteOr (freqParam->load (std::memory_order_relaxed), Params::defaultFrequency);
    const auto mix = juce::jlimit (
        0.0f, 1.0f, finiteOr (mixParam->load (std::memory_order_relaxed), Params::defaultMix) * mixScale);
    const auto dryWeight = 1.0f - mix;

    auto delta = (double) frequency * twoPi / sampleRate;
    if (!std::isfinite (delta))
        delta = 0.0;
    else if (delta >= twoPi)
        delta = std::fmod (delta, twoPi); // at very low rates one wrap per sample is not enough

    auto* const* channels = buffer.getArrayOfWritePointers();

    for (int i = 0; i < numSamples; ++i)
    {
        const auto carrier = (float) std::sin (phase);

        for (int ch = 0; ch < numChannels; ++ch)
        {
            const auto x = channels[ch][i];
            channels[ch][i] = x * dryWeight + (x * carrier) * mix;
        }

        phase += delta;
        if (phase >= twoPi)
            phase -= twoPi;
    }

    const auto gainDb = finiteOr (outputParam->load (std::memory_order_relaxed), Params::defaultOutput);
    outputGain.setTargetValue (juce::Decibels::decibelsToGain (gainDb));

    if (numSamples > 0)
    {
        if (!outputGain.isSmoothing())
        {
            const auto gain = outputGain.getTargetValue();
            for (int ch = 0; ch < numChannels; ++ch)
                juce::FloatVectorOperations::multiply (channels[ch], gain, numSamples);
        }
        else
        {
            for (int i = 0; i < numSamples; ++i)
            {
                const auto gain = outputGain.getNextValue();
                for (int ch = 0; ch < numChannels; ++ch)
                    channels[ch][i] *= gain;
            }
        }
    }

    if (crossfade)
    {
        const auto* const* dry = dryBuffer.getArrayOfReadPointers();

        for (int i = 0; i < numSamples; ++i)
        {
            const auto w = bypassMix.getNextValue();
            for (int ch = 0; ch < numChannels; ++ch)
                channels[ch][i] = channels[ch][i] * (1.0f - w) + dry[ch][i] * w;
        }
    }

    levels.outputPeak.store (peakOf (buffer, numSamples), std::memory_order_relaxed);
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
    return currentProgram;
}

void RingProcessor::setCurrentProgram (int index)
{
    if (index < 0 || index >= getNumPrograms())
        return;

    currentProgram = index;

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

    if (!state.isValid())
        return;

    juce::MemoryOutputStream stream (destData, false);
    state.writeToStream (stream);
}

void RingProcessor::setStateInformation (const void* data, int sizeInBytes)
{
    if (data == nullptr || sizeInBytes <= 0 || !StateBlock::isSafeToRead (data, (size_t) sizeInBytes))
        return;

    juce::MemoryInputStream stream (data, (size_t) sizeInBytes, false);
    auto tree = juce::ValueTree::readFromStream (stream);

    // Another plug-in's state or a stray file is not ours to load.
    if (!tree.isValid() || !tree.hasType (stateType))
        return;

    // A value that is not a finite number would reach the audio path; treat it as missing,
    // so that its parameter goes to the default.
    static const juce::Identifier valueId ("value");
    for (auto child : tree)
        if (child.hasProperty (valueId) && !isFiniteNumber (child.getProperty (valueId)))
            child.removeProperty (valueId, nullptr);

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
