#pragma once

#include "PluginProcessor.h"

#include "../ui/KeltoLookAndFeel.h"
#include "../ui/LabeledKnob.h"
#include "../ui/MeterComponent.h"

/** The plug-in's fixed-size window: header, preset selector, bypass, three knobs and two meters. */
class RingEditor : public juce::AudioProcessorEditor, public juce::Timer
{
public:
    explicit RingEditor (RingProcessor& processorToEdit);
    ~RingEditor() override;

    void paint (juce::Graphics& g) override;
    void resized() override;
    void timerCallback() override;

private:
    RingProcessor& ringProcessor;
    kelto::ui::KeltoLookAndFeel lookAndFeel;

    std::unique_ptr<kelto::ui::LabeledKnob> freqKnob;
    std::unique_ptr<kelto::ui::LabeledKnob> mixKnob;
    std::unique_ptr<kelto::ui::LabeledKnob> outputKnob;

    juce::ComboBox presetBox;
    juce::TextButton bypassButton { "BYPASS" };
    std::unique_ptr<juce::AudioProcessorValueTreeState::ButtonAttachment> bypassAttachment;

    kelto::ui::MeterComponent inputMeter;
    kelto::ui::MeterComponent outputMeter;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (RingEditor)
};
