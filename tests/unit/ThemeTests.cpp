#include "UiTestSupport.h"

#include "ui/KeltoLookAndFeel.h"
#include "ui/Theme.h"

#include <gtest/gtest.h>

namespace
{
using kelto::ui::Theme;

struct ColourField
{
    const char* name;
    juce::Colour Theme::*field;
    juce::uint32 argb;
};

const ColourField colourFields[] = {
    { "background", &Theme::background, 0xff0c0c0e },
    { "panel", &Theme::panel, 0xff141417 },
    { "panelRaised", &Theme::panelRaised, 0xff1a1a1e },
    { "track", &Theme::track, 0xff26262b },
    { "outline", &Theme::outline, 0xff34343b },
    { "accent", &Theme::accent, 0xffe8b24c },
    { "accentBright", &Theme::accentBright, 0xfff3d38a },
    { "accentDim", &Theme::accentDim, 0xffc9922f },
    { "accentDeep", &Theme::accentDeep, 0xff8a2f1c },
    { "secondary", &Theme::secondary, 0xff37b9a8 },
    { "secondaryBright", &Theme::secondaryBright, 0xff7fe6d6 },
    { "text", &Theme::text, 0xffeceae6 },
    { "textDim", &Theme::textDim, 0xffa6988a },
    { "textFaint", &Theme::textFaint, 0xff6f6357 },
    { "danger", &Theme::danger, 0xffff5c4d },
    { "success", &Theme::success, 0xff8fcb6e },
};

struct SizeField
{
    const char* name;
    float Theme::*field;
    float value;
};

const SizeField sizeFields[] = {
    { "spacing", &Theme::spacing, 12.0f },
    { "trackWidthRatio", &Theme::trackWidthRatio, 0.16f },
    { "radius", &Theme::radius, 6.0f },
    { "titleFontSize", &Theme::titleFontSize, 22.0f },
    { "headingFontSize", &Theme::headingFontSize, 15.0f },
    { "labelFontSize", &Theme::labelFontSize, 12.0f },
    { "bodyFontSize", &Theme::bodyFontSize, 11.0f },
    { "smallFontSize", &Theme::smallFontSize, 10.0f },
};

TEST (Theme, ObsidianValuesAndSharedRecordAgree)
{
    const auto obsidian = kelto::ui::obsidianTheme();
    const auto& shared = kelto::ui::mutableTheme();

    for (const auto& f : colourFields)
    {
        SCOPED_TRACE (f.name);
        EXPECT_EQ (obsidian.*f.field, juce::Colour (f.argb));
        EXPECT_EQ (shared.*f.field, juce::Colour (f.argb));
    }

    for (const auto& f : sizeFields)
    {
        SCOPED_TRACE (f.name);
        EXPECT_FLOAT_EQ (obsidian.*f.field, f.value);
        EXPECT_FLOAT_EQ (shared.*f.field, f.value);
    }
}

TEST (Fonts, MonoIsDefaultMonospacedBoldAtGivenHeight)
{
    for (auto size : { 10.0f, 11.0f, 12.0f, 22.0f })
    {
        SCOPED_TRACE (size);
        const auto font = kelto::ui::monoFont (size, true);
        EXPECT_EQ (font.getTypefaceName(), juce::Font::getDefaultMonospacedFontName());
        EXPECT_EQ (font.getTypefaceStyle(), "Bold");
        EXPECT_FLOAT_EQ (font.getHeight(), size);
    }
}

TEST (Fonts, SansIsDefaultSansSerifWithStyleFromFlag)
{
    struct Case
    {
        float size;
        bool bold;
        const char* style;
    };

    for (const auto& c : { Case { 11.0f, false, "Regular" }, Case { 22.0f, true, "Bold" } })
    {
        SCOPED_TRACE (c.size);
        const auto font = kelto::ui::sansFont (c.size, c.bold);
        EXPECT_EQ (font.getTypefaceName(), juce::Font::getDefaultSansSerifFontName());
        EXPECT_EQ (font.getTypefaceStyle(), c.style);
        EXPECT_EQ (font.isBold(), c.bold);
        EXPECT_FLOAT_EQ (font.getHeight(), c.size);
    }
}

TEST (Fonts, ResolveToInstalledTypefaces)
{
    // Text must render on a machine with nothing but the system fonts.
    for (const auto& font : { kelto::ui::monoFont (12.0f, true), kelto::ui::sansFont (22.0f, true) })
    {
        const auto typeface = font.getTypefacePtr();
        ASSERT_NE (typeface, nullptr);
        EXPECT_GT (juce::GlyphArrangement::getStringWidth (font, "ZAVI"), 0.0f);
    }
}

TEST (KeltoLookAndFeel, RecoloursStandardWidgetsFromTheme)
{
    const kelto::ui::KeltoLookAndFeel lf;

    const struct
    {
        const char* name;
        int id;
        juce::uint32 argb;
    } cases[] = {
        { "window background", juce::ResizableWindow::backgroundColourId, 0xff0c0c0e },
        { "slider text", juce::Slider::textBoxTextColourId, 0xffeceae6 },
        { "slider text outline", juce::Slider::textBoxOutlineColourId, 0x00000000 },
        { "label text", juce::Label::textColourId, 0xffeceae6 },
        { "combo background", juce::ComboBox::backgroundColourId, 0xff0c0c0e },
        { "combo text", juce::ComboBox::textColourId, 0xffeceae6 },
        { "combo outline", juce::ComboBox::outlineColourId, 0xff34343b },
        { "combo arrow", juce::ComboBox::arrowColourId, 0xffe8b24c },
        { "popup background", juce::PopupMenu::backgroundColourId, 0xff141417 },
        { "popup highlight", juce::PopupMenu::highlightedBackgroundColourId, 0x40e8b24c },
        { "button off", juce::TextButton::buttonColourId, 0xff141417 },
        { "button on", juce::TextButton::buttonOnColourId, 0xffe8b24c },
        { "button text off", juce::TextButton::textColourOffId, 0xffa6988a },
        { "button text on", juce::TextButton::textColourOnId, 0xff0c0c0e },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        EXPECT_EQ (lf.findColour (c.id), juce::Colour (c.argb));
    }

    // Everything else keeps JUCE's dark scheme.
    const juce::LookAndFeel_V4 plain;
    EXPECT_EQ (lf.findColour (juce::Slider::thumbColourId), plain.findColour (juce::Slider::thumbColourId));
}

TEST (KeltoLookAndFeel, DrawsArcKnobLayers)
{
    // A 100 x 100 knob at rest: radius 44 around (50, 50), arcs 7.04 wide on radius 40.48,
    // body radius 32.03. JUCE's default rotary range starts at about 7 o'clock.
    kelto::ui::KeltoLookAndFeel lf;
    juce::Slider slider;
    juce::Image image (juce::Image::ARGB, 100, 100, true);
    {
        juce::Graphics g (image);
        lf.drawRotarySlider (g,
                             0,
                             0,
                             100,
                             100,
                             0.5f,
                             -juce::MathConstants<float>::pi * 0.75f,
                             juce::MathConstants<float>::pi * 0.75f,
                             slider);
    }

    const auto& t = kelto::ui::mutableTheme();
    const struct
    {
        const char* name;
        int x, y;
        juce::Colour expected;
    } cases[] = {
        { "outside the knob", 2, 2, juce::Colours::transparentBlack },
        { "body centre", 50, 50, juce::Colour (0xff2e2e32) },
        { "value arc at the left", 9, 50, t.accent },
        { "track at the right", 90, 50, t.track },
        { "pointer straight up at half travel", 50, 28, t.accentBright },
        { "bare body below the centre", 50, 72, juce::Colour (0xff2e2e32) },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        EXPECT_LE (kelto::test::channelDistance (image.getPixelAt (c.x, c.y), c.expected), 2)
            << image.getPixelAt (c.x, c.y).toDisplayString (true);
    }
}
} // namespace
