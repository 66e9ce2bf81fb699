// Paint cost of the editor in JUCE's software renderer, the path a host without GPU help takes.
// Run: kelto_paint_bench (reports mean, median and spread over repetitions).

#include "plugin/PluginEditor.h"

#include <benchmark/benchmark.h>

namespace
{
constexpr int repetitions = 10;

// Both meters show a bar so that their fills take part in the paint.
void feedLevels (RingProcessor& processor)
{
    processor.levels.inputPeak = 0.5f;
    processor.levels.outputPeak = 0.25f;
}

void editorFullPaint (benchmark::State& state)
{
    RingProcessor processor;
    feedLevels (processor);
    RingEditor editor (processor);
    editor.stopTimer();

    for (int i = 0; i < editor.getNumChildComponents(); ++i)
        if (auto* meter = dynamic_cast<kelto::ui::MeterComponent*> (editor.getChildComponent (i)))
        {
            meter->stopTimer();
            meter->timerCallback();
        }

    juce::Image image (
        juce::Image::ARGB, editor.getWidth(), editor.getHeight(), true, juce::SoftwareImageType());

    for (auto _ : state)
    {
        juce::Graphics g (image);
        editor.paintEntireComponent (g, true);
        benchmark::DoNotOptimize (image.getPixelAt (0, 0));
    }
}

void meterRepaint (benchmark::State& state)
{
    kelto::ui::MeterLevels levels;
    levels.outputPeak = 0.5f;
    kelto::ui::MeterComponent meter (levels, kelto::ui::MeterComponent::outputLevel, "OUT");
    meter.stopTimer();
    meter.setSize (36, 322); // the editor's meter size

    juce::Image image (
        juce::Image::ARGB, meter.getWidth(), meter.getHeight(), true, juce::SoftwareImageType());

    for (auto _ : state)
    {
        // One tick as the meter's timer makes it, then the repaint it asks for.
        meter.timerCallback();
        juce::Graphics g (image);
        meter.paintEntireComponent (g, true);
        benchmark::DoNotOptimize (image.getPixelAt (0, 0));
    }
}
} // namespace

BENCHMARK (editorFullPaint)
    ->Unit (benchmark::kMillisecond)
    ->Repetitions (repetitions)
    ->ReportAggregatesOnly (true);
BENCHMARK (meterRepaint)
    ->Unit (benchmark::kMicrosecond)
    ->Repetitions (repetitions)
    ->ReportAggregatesOnly (true);

int main (int argc, char** argv)
{
    // Components, fonts and timers need JUCE's message manager; this thread is its message thread.
    juce::ScopedJuceInitialiser_GUI juce;

    benchmark::Initialize (&argc, argv);
    if (benchmark::ReportUnrecognizedArguments (argc, argv))
        return 1;

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
