#include "MeterComponent.h"

#include "Theme.h"

#include <cmath>

namespace kelto::ui
{
namespace
{
    constexpr int tickPeriodMs = 33;
    constexpr float floorDb = -60.0f;
    constexpr float fallFactor = 0.2f;       // each tick closes a fifth of the gap
    constexpr float dangerThreshold = 0.92f; // about -4.8 dB on the bar's scale
    constexpr int captionHeight = 15;
    constexpr float troughInset = 2.0f;
    constexpr float cornerSize = 3.0f;

    float toBarScale (float peak)
    {
        // Written so that NaN, 0 and negative values all land at the bottom.
        if (! (peak > 0.0f))
            return 0.0f;

        return (juce::jmax (20.0f * std::log10 (peak), floorDb) - floorDb) / -floorDb;
    }
} // namespace

MeterComponent::MeterComponent (const MeterLevels& levelFeed, Mode meterMode, const juce::String& captionText)
    : feed (levelFeed), mode (meterMode), caption (captionText)
{
    startTimer (tickPeriodMs);
}

MeterComponent::~MeterComponent()
{
    stopTimer();
}

void MeterComponent::timerCallback()
{
    const auto& field = mode == Mode::inputLevel ? feed.inputPeak : feed.outputPeak;
    const auto v = toBarScale (field.load (std::memory_order_relaxed));
    const auto target = v < 0.0f ? 0.0f : juce::jmin (v, 1.0f);

    if (displayLevel < target)
        displayLevel = target;
    else
        displayLevel += (target - displayLevel) * fallFactor;

    repaint();
}

void MeterComponent::paint (juce::Graphics& g)
{
    const auto& t = mutableTheme();

    auto area = getLocalBounds();
    const auto strip = area.removeFromBottom (captionHeight);

    g.setColour (t.textFaint);
    g.setFont (monoFont (t.smallFontSize, true));
    g.drawText (caption, strip.toFloat(), juce::Justification::centred, true);

    const auto trough = area.toFloat().reduced (troughInset);
    g.setColour (t.track);
    g.fillRoundedRectangle (trough, cornerSize);

    const auto barColour = displayLevel > dangerThreshold ? t.danger
                           : mode == Mode::inputLevel     ? t.secondary
                                                          : t.accent;
    const auto bar = trough.withTop (trough.getBottom() - displayLevel * trough.getHeight());
    g.setColour (barColour);
    g.fillRoundedRectangle (bar, cornerSize);
}
} // namespace kelto::ui
