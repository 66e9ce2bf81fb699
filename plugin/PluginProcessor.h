#pragma once

#include "../ui/MeterLevels.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <limits>

class RingProcessor : public juce::AudioProcessor
{
public:
    RingProcessor();
    ~RingProcessor() override;

    const juce::String getName() const override;

    void prepareToPlay (double newSampleRate, int maximumExpectedSamplesPerBlock) override;
    void releaseResources() override;
    void processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midi) override;
    using juce::AudioProcessor::processBlock;

    double getTailLengthSeconds() const override;
    bool acceptsMidi() const override;
    bool producesMidi() const override;
    bool isMidiEffect() const override;

    juce::AudioProcessorEditor* createEditor() override;
    bool hasEditor() const override;

    int getNumPrograms() override;
    int getCurrentProgram() override;
    void setCurrentProgram (int index) override;
    const juce::String getProgramName (int index) override;
    void changeProgramName (int index, const juce::String& newName) override;

    void getStateInformation (juce::MemoryBlock& destData) override;
    void setStateInformation (const void* data, int sizeInBytes) override;

    bool isBusesLayoutSupported (const BusesLayout& layouts) const override;

    juce::AudioProcessorValueTreeState apvts;

private:
    std::atomic<float>* freqParam = nullptr;
    std::atomic<float>* mixParam = nullptr;
    std::atomic<float>* outputParam = nullptr;
    std::atomic<float>* bypassParam = nullptr;

    double sampleRate = 44100.0;
    double phase = 0.0;

public:
    kelto::ui::MeterLevels levels;

private:
    juce::SmoothedValue<float> outputGain { 1.0f };
    juce::SmoothedValue<float> bypassMix { 0.0f };
    // Written by program changes on any thread, read by the editor and the wrapper on others.
    std::atomic<int> currentProgram { 0 };

    float lastGainDb = std::numeric_limits<float>::quiet_NaN(), lastGain = 1.0f;

    template <bool rampGain, bool crossfade>
    void render (float* const* channels, int numChannels, int numSamples, float mix, double delta);

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (RingProcessor)
};
