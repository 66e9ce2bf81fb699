#include "UiTestSupport.h"

#include "plugin/PluginEditor.h"
#include "plugin/Presets.h"
#include "ui/Theme.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

namespace
{
using kelto::ui::LabeledKnob;
using kelto::ui::MeterComponent;

/** Records the program calls the editor makes, then lets the processor apply them. */
struct ProgramSpy : RingProcessor
{
    void setCurrentProgram (int index) override
    {
        calls.push_back (index);
        RingProcessor::setCurrentProgram (index);
    }

    std::vector<int> calls;
};

// Children in the order the editor adds them.
enum Child
{
    freqKnobChild,
    mixKnobChild,
    outputKnobChild,
    presetBoxChild,
    bypassButtonChild,
    inputMeterChild,
    outputMeterChild,
    numChildren
};

template <typename ComponentType>
ComponentType& child (RingEditor& editor, Child index)
{
    auto* c = dynamic_cast<ComponentType*> (editor.getChildComponent (index));
    if (c == nullptr)
        throw std::logic_error ("unexpected child type");
    return *c;
}

double knobValue (RingEditor& editor, Child knob)
{
    return dynamic_cast<juce::Slider&> (*child<LabeledKnob> (editor, knob).getChildComponent (0)).getValue();
}

float parameterValue (RingProcessor& processor, const char* id)
{
    return processor.apvts.getRawParameterValue (id)->load();
}

TEST (RingEditor, LaysOutChildrenAtFixedSize)
{
    RingProcessor processor;
    RingEditor editor (processor);

    EXPECT_EQ (editor.getWidth(), 720);
    EXPECT_EQ (editor.getHeight(), 440);
    EXPECT_FALSE (editor.isResizable());
    ASSERT_EQ (editor.getNumChildComponents(), numChildren);

    const struct
    {
        Child index;
        const char* caption; // knobs only
        juce::Rectangle<int> bounds;
    } cases[] = {
        { freqKnobChild, "FREQUENCY", { 211, 80, 190, 200 } },
        { mixKnobChild, "MIX", { 28, 290, 268, 122 } },
        { outputKnobChild, "OUTPUT", { 316, 290, 268, 122 } },
        { presetBoxChild, nullptr, { 464, 32, 142, 28 } },
        { bypassButtonChild, nullptr, { 614, 30, 84, 32 } },
        { inputMeterChild, nullptr, { 612, 90, 36, 322 } },
        { outputMeterChild, nullptr, { 656, 90, 36, 322 } },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE ((int) c.index);
        auto* component = editor.getChildComponent (c.index);
        EXPECT_EQ (component->getBounds(), c.bounds);
        EXPECT_TRUE (component->isVisible());

        if (c.caption != nullptr)
        {
            auto& knob = child<LabeledKnob> (editor, c.index);
            EXPECT_EQ (dynamic_cast<juce::Label&> (*knob.getChildComponent (1)).getText(), c.caption);
        }
    }

    EXPECT_NO_THROW (child<juce::ComboBox> (editor, presetBoxChild));
    EXPECT_EQ (child<juce::TextButton> (editor, bypassButtonChild).getButtonText(), "BYPASS");
    EXPECT_NO_THROW (child<MeterComponent> (editor, inputMeterChild));
    EXPECT_NO_THROW (child<MeterComponent> (editor, outputMeterChild));
}

TEST (RingEditor, PresetSelectorListsFactoryPresetsAndShowsCurrentProgram)
{
    const auto& presets = Presets::getFactoryPresets();

    for (int current : { 0, 3 })
    {
        SCOPED_TRACE (current);
        RingProcessor processor;
        processor.setCurrentProgram (current);
        RingEditor editor (processor);
        auto& box = child<juce::ComboBox> (editor, presetBoxChild);

        ASSERT_EQ (box.getNumItems(), (int) presets.size());
        for (int i = 0; i < box.getNumItems(); ++i)
        {
            EXPECT_EQ (box.getItemId (i), i + 1);
            EXPECT_EQ (box.getItemText (i), presets[(size_t) i].name);
        }

        EXPECT_EQ (box.getSelectedId(), current + 1);
    }
}

TEST (RingEditor, OpeningDoesNotApplyAProgram)
{
    ProgramSpy processor;
    RingEditor editor (processor);
    EXPECT_TRUE (processor.calls.empty());
    EXPECT_NEAR (knobValue (editor, freqKnobChild), 220.0, 1.0e-3); // parameter default, not preset 0
}

TEST (RingEditor, PickingAPresetSelectsItsProgramAndMovesTheKnobs)
{
    const auto& presets = Presets::getFactoryPresets();
    ProgramSpy processor;
    RingEditor editor (processor);
    auto& box = child<juce::ComboBox> (editor, presetBoxChild);

    // Item 1 is already shown, so it is picked last, after moving away from it.
    for (int id : { 2, 3, 4, 5, 6, 1 })
    {
        SCOPED_TRACE (id);
        processor.calls.clear();

        box.setSelectedId (id, juce::sendNotificationSync);

        ASSERT_EQ (processor.calls, std::vector<int> { id - 1 });
        EXPECT_EQ (processor.getCurrentProgram(), id - 1);

        const auto& values = presets[(size_t) id - 1].values;
        const Child knobs[] = { freqKnobChild, mixKnobChild, outputKnobChild };
        for (size_t i = 0; i < 3; ++i)
            EXPECT_NEAR (knobValue (editor, knobs[i]), values[i].second, 0.01) << values[i].first;
    }
}

TEST (RingEditor, ClearingTheSelectionDoesNothing)
{
    ProgramSpy processor;
    RingEditor editor (processor);
    child<juce::ComboBox> (editor, presetBoxChild).setSelectedId (0, juce::sendNotificationSync);
    EXPECT_TRUE (processor.calls.empty());
}

TEST (RingEditor, HostProgramChangeMovesKnobsButNotTheSelector)
{
    RingProcessor processor;
    RingEditor editor (processor);

    processor.setCurrentProgram (4); // "Clangorous", as a host would

    EXPECT_EQ (child<juce::ComboBox> (editor, presetBoxChild).getSelectedId(), 1);
    EXPECT_NEAR (knobValue (editor, freqKnobChild), 1500.0, 0.01);
    EXPECT_NEAR (knobValue (editor, mixKnobChild), 60.0, 0.01);
    EXPECT_NEAR (knobValue (editor, outputKnobChild), -3.0, 0.01);
}

TEST (RingEditor, BypassButtonAndParameterFollowEachOther)
{
    RingProcessor processor;
    RingEditor editor (processor);
    auto& button = child<juce::TextButton> (editor, bypassButtonChild);
    auto* bypass = processor.apvts.getParameter ("bypass");

    EXPECT_TRUE (button.getClickingTogglesState());
    EXPECT_FALSE (button.getToggleState());

    // A click flips the toggle and reports it to the button's listeners, synchronously.
    const auto click = [&button]
    { button.setToggleState (! button.getToggleState(), juce::sendNotificationSync); };

    click();
    EXPECT_TRUE (button.getToggleState());
    EXPECT_EQ (parameterValue (processor, "bypass"), 1.0f);

    click();
    EXPECT_FALSE (button.getToggleState());
    EXPECT_EQ (parameterValue (processor, "bypass"), 0.0f);

    // Host automation on the message thread reaches the button at once.
    bypass->setValueNotifyingHost (1.0f);
    EXPECT_TRUE (button.getToggleState());

    bypass->setValueNotifyingHost (0.0f);
    EXPECT_FALSE (button.getToggleState());
}

TEST (RingEditor, RepaintsOnItsOwnTimer)
{
    RingProcessor processor;
    RingEditor editor (processor);
    EXPECT_TRUE (editor.isTimerRunning());
    EXPECT_EQ (editor.getTimerInterval(), 66);
}

struct TextInk
{
    int pixels = 0;
    int leftmostX = std::numeric_limits<int>::max();
};

/** Finds the pixels of one text colour (anti-aliasing aside) inside an area. */
TextInk findInk (const juce::Image& image, juce::Rectangle<int> area, juce::Colour colour)
{
    TextInk ink;
    for (int y = area.getY(); y < area.getBottom(); ++y)
        for (int x = area.getX(); x < area.getRight(); ++x)
            if (kelto::test::channelDistance (image.getPixelAt (x, y), colour) <= 24)
            {
                ++ink.pixels;
                ink.leftmostX = juce::jmin (ink.leftmostX, x);
            }
    return ink;
}

TEST (RingEditor, RendersTheDesignedWindow)
{
    const auto& t = kelto::ui::mutableTheme();
    RingProcessor processor;
    processor.levels.inputPeak = 0.0f;
    processor.levels.outputPeak = 1.0f;
    RingEditor editor (processor);

    auto& outputMeter = child<MeterComponent> (editor, outputMeterChild);
    outputMeter.stopTimer();
    child<MeterComponent> (editor, inputMeterChild).stopTimer();
    outputMeter.timerCallback();

    const auto image = kelto::test::snapshot (editor);
    ASSERT_EQ (image.getWidth(), 720);
    ASSERT_EQ (image.getHeight(), 440);

    const auto artefacts = juce::File (KELTO_TEST_ARTEFACTS_DIR);
    ASSERT_TRUE (artefacts.createDirectory().wasOk());
    const auto png = artefacts.getChildFile ("editor.png");
    png.deleteFile();
    {
        juce::FileOutputStream out (png);
        ASSERT_TRUE (out.openedOk());
        ASSERT_TRUE (juce::PNGImageFormat().writeImageToStream (image, out));
    }

    const struct
    {
        const char* name;
        int x, y;
        juce::Colour expected;
    } points[] = {
        { "top-left corner, outside the glow", 0, 0, t.background },
        { "bottom-right corner", 719, 439, t.background },
        { "frequency knob body centre", 306, 180, juce::Colour (0xff2e2e32) },
        { "input meter trough above its empty bar", 630, 150, t.track },
        { "output meter bar at full scale", 674, 300, t.danger },
    };

    for (const auto& p : points)
    {
        SCOPED_TRACE (p.name);
        EXPECT_EQ (image.getPixelAt (p.x, p.y), p.expected);
    }

    // The knobs' value boxes take this look-and-feel: no outline and text in the theme's colour.
    for (auto box : { juce::Rectangle<int> (270, 264, 72, 16), juce::Rectangle<int> (126, 396, 72, 16) })
    {
        SCOPED_TRACE (box.toString());
        for (auto edge : { box.getTopLeft(),
                           box.getBottomLeft().translated (0, -1),
                           box.getTopRight().translated (-1, 0) })
            EXPECT_LE (image.getPixelAt (edge.x, edge.y).getBrightness(), 0.12f);
        EXPECT_GT (findInk (image, box, t.text).pixels, 10);
    }

    // The teal glow lightens the background around its centre.
    const auto glow = image.getPixelAt (420, 150);
    EXPECT_GT (glow.getGreen(), t.background.getGreen() + 8);
    EXPECT_GT (glow.getGreen(), glow.getRed());

    const struct
    {
        const char* name;
        juce::Rectangle<int> area;
        juce::Colour colour;
    } texts[] = {
        { "brand", { 20, 16, 60, 14 }, t.accent },
        { "title", { 20, 28, 360, 30 }, t.text },
        { "subtitle", { 20, 58, 360, 16 }, t.textFaint },
    };

    for (const auto& text : texts)
    {
        SCOPED_TRACE (text.name);
        const auto ink = findInk (image, text.area, text.colour);
        EXPECT_GT (ink.pixels, 10);
        EXPECT_LE (ink.leftmostX, text.area.getX() + 3); // left-justified
    }
}

TEST (RingEditor, EditorsShareOneThemeRecord)
{
    RingProcessor firstProcessor, secondProcessor;
    RingEditor first (firstProcessor), second (secondProcessor);

    auto& theme = kelto::ui::mutableTheme();
    EXPECT_EQ (&theme, &kelto::ui::mutableTheme());

    // A change to the record shows in both windows at their next paint.
    const auto saved = theme.background;
    theme.background = juce::Colour (0xff203040);
    const auto firstCorner = kelto::test::snapshot (first).getPixelAt (0, 0);
    const auto secondCorner = kelto::test::snapshot (second).getPixelAt (0, 0);
    theme.background = saved;

    EXPECT_EQ (firstCorner, juce::Colour (0xff203040));
    EXPECT_EQ (secondCorner, juce::Colour (0xff203040));
}
} // namespace
