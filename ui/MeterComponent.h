#pragma once

#include "MeterLevels.h"

#include <juce_gui_basics/juce_gui_basics.h>

namespace kelto::ui
{
/** A vertical peak meter on a -60..0 dB scale that polls a MeterLevels feed on its own timer. */
class MeterComponent : public juce::Component, public juce::Timer
{
public:
    enum Mode
    {
        inputLevel = 0,
        outputLevel = 1
    };

    MeterComponent (const MeterLevels& levelFeed, Mode meterMode, const juce::String& captionText);
    ~MeterComponent() override;

    void paint (juce::Graphics& g) override;
    void timerCallback() override;

private:
    const MeterLevels& feed;
    const Mode mode;
    juce::String caption;
    float displayLevel = 0.0f;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MeterComponent)
};
} // namespace kelto::ui
