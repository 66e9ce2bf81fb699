#include "UiTestSupport.h"

#include "ui/MeterComponent.h"
#include "ui/Theme.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace
{
using kelto::ui::MeterComponent;

// 36 wide with a 100-pixel trough: x 2, y 2, 32 x 100 above the 15-pixel caption strip.
constexpr int meterWidth = 36;
constexpr int meterHeight = 119;
constexpr int troughTop = 2;
constexpr int troughHeight = 100;
constexpr int probeX = meterWidth / 2; // clear of the rounded corners

struct BarReading
{
    float level; // fraction of the trough
    juce::Colour bottomColour;
};

/** Reads the bar from the rendered meter: the bar colour's coverage summed down one column. */
BarReading readBar (MeterComponent& meter, juce::Colour barColour)
{
    const auto image = kelto::test::snapshot (meter);
    const auto track = kelto::ui::mutableTheme().track;

    const float dr = barColour.getFloatRed() - track.getFloatRed();
    const float dg = barColour.getFloatGreen() - track.getFloatGreen();
    const float db = barColour.getFloatBlue() - track.getFloatBlue();
    const float norm = dr * dr + dg * dg + db * db;

    float covered = 0.0f;
    for (int y = troughTop; y < troughTop + troughHeight; ++y)
    {
        const auto p = image.getPixelAt (probeX, y);
        const float coverage =
            ((p.getFloatRed() - track.getFloatRed()) * dr + (p.getFloatGreen() - track.getFloatGreen()) * dg
             + (p.getFloatBlue() - track.getFloatBlue()) * db)
            / norm;
        covered += juce::jlimit (0.0f, 1.0f, coverage);
    }

    return { covered / (float) troughHeight, image.getPixelAt (probeX, troughTop + troughHeight - 1) };
}

float dB (float decibels)
{
    return std::pow (10.0f, decibels / 20.0f);
}

const float nan = std::numeric_limits<float>::quiet_NaN();

struct BallisticsCase
{
    const char* name;
    std::vector<float> peaks; // one feed value per tick
    float level;              // bar height after the last tick
    bool danger;
};

const BallisticsCase ballisticsCases[] = {
    { "full scale rises at once", { 1.0f }, 1.0f, true },
    { "-6 dB rises at once below the threshold", { 0.5f }, 0.89966f, false },
    { "silence stays empty", { 0.0f }, 0.0f, false },
    { "not a number reads as silence", { nan }, 0.0f, false },
    { "below the floor reads as silence", { dB (-80.0f) }, 0.0f, false },
    { "above full scale is clamped", { 2.0f }, 1.0f, true },
    { "-4 dB is above the threshold", { dB (-4.0f) }, 0.93333f, true },
    { "-5 dB is below the threshold", { dB (-5.0f) }, 0.91667f, false },
    { "fall closes a fifth of the gap", { 1.0f, 0.0f }, 0.8f, false },
    { "second tick of the fall", { 1.0f, 0.0f, 0.0f }, 0.64f, false },
    { "third tick of the fall", { 1.0f, 0.0f, 0.0f, 0.0f }, 0.512f, false },
    { "fall towards a lower signal", { 1.0f, 0.5f }, 0.97993f, true },
    { "not a number lets the bar fall", { 1.0f, nan }, 0.8f, false },
    { "rise during a fall is instant", { 1.0f, 0.0f, 0.0f, 0.5f }, 0.89966f, false },
};

TEST (MeterComponent, BallisticsAndBarColourOverTicks)
{
    const auto& t = kelto::ui::mutableTheme();
    const struct
    {
        MeterComponent::Mode mode;
        std::atomic<float> kelto::ui::MeterLevels::*read;
        std::atomic<float> kelto::ui::MeterLevels::*other;
        juce::Colour normal;
    } modes[] = {
        { MeterComponent::inputLevel,
          &kelto::ui::MeterLevels::inputPeak,
          &kelto::ui::MeterLevels::outputPeak,
          t.secondary },
        { MeterComponent::outputLevel,
          &kelto::ui::MeterLevels::outputPeak,
          &kelto::ui::MeterLevels::inputPeak,
          t.accent },
    };

    for (const auto& m : modes)
    {
        for (const auto& c : ballisticsCases)
        {
            SCOPED_TRACE (juce::String (m.mode == MeterComponent::inputLevel ? "IN: " : "OUT: ") + c.name);

            kelto::ui::MeterLevels levels;
            (levels.*m.other).store (0.25f); // the field of the other mode must not leak in
            MeterComponent meter (levels, m.mode, "M");
            meter.stopTimer(); // ticks come from the test alone
            meter.setSize (meterWidth, meterHeight);

            for (auto peak : c.peaks)
            {
                (levels.*m.read).store (peak);
                meter.timerCallback();
            }

            const auto barColour = c.danger ? t.danger : m.normal;
            const auto reading = readBar (meter, barColour);
            EXPECT_NEAR (reading.level, c.level, 0.01f);
            if (c.level > 0.02f)
                EXPECT_EQ (reading.bottomColour, barColour);
            else
                EXPECT_EQ (reading.bottomColour, t.track);
        }
    }
}

TEST (MeterComponent, TicksOnItsOwnTimer)
{
    kelto::ui::MeterLevels levels;
    MeterComponent meter (levels, MeterComponent::inputLevel, "IN");
    EXPECT_TRUE (meter.isTimerRunning());
    EXPECT_EQ (meter.getTimerInterval(), 33);
}

TEST (MeterComponent, SmallMetersLoseTroughThenEverythingButCaption)
{
    const struct
    {
        int height;
        bool troughVisible;
    } cases[] = { { 20, true }, { 19, false }, { 15, false }, { 8, false } };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.height);
        kelto::ui::MeterLevels levels;
        levels.inputPeak = 1.0f;
        MeterComponent meter (levels, MeterComponent::inputLevel, "");
        meter.stopTimer();
        meter.setSize (meterWidth, c.height);
        meter.timerCallback();

        const auto image = kelto::test::snapshot (meter);
        bool anyFilled = false;
        for (int y = 0; y < image.getHeight(); ++y)
            for (int x = 0; x < image.getWidth(); ++x)
                anyFilled = anyFilled || image.getPixelAt (x, y).getAlpha() != 0;

        EXPECT_EQ (anyFilled, c.troughVisible);
    }
}
} // namespace
