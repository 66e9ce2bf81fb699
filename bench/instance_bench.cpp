// What one more instance of the built bundle costs a host: the time to create and initialise it
// (component and controller, connected and synchronised), the time to create and attach its
// editor view, and the resident memory with 1 and with 16 instances.
//
// Run it under an X server for the editor figures:
//   xvfb-run -a <build>/tests/bundle/kelto_instance_bench

#include "HostWindow.h"
#include "Vst3Host.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace
{
using namespace Steinberg;
using Clock = std::chrono::steady_clock;

const char* const componentClassText = "ABCDEF019182FAEB4B656C744B726E67";

/** Resident set size of this process in KiB, from /proc/self/status; -1 if it cannot be read. */
long readResidentKiB()
{
    std::ifstream status ("/proc/self/status");
    std::string line;

    while (std::getline (status, line))
        if (line.rfind ("VmRSS:", 0) == 0)
            return std::strtol (line.c_str() + 6, nullptr, 10);

    return -1;
}

double millisecondsSince (Clock::time_point start)
{
    return std::chrono::duration<double, std::milli> (Clock::now() - start).count();
}

struct Timings
{
    std::vector<double> runs; // the first one is cold

    void add (double ms) { runs.push_back (ms); }

    double first() const { return runs.empty() ? 0.0 : runs.front(); }

    double median() const
    {
        if (runs.size() < 2)
            return first();

        std::vector<double> warm (runs.begin() + 1, runs.end());
        std::sort (warm.begin(), warm.end());
        return warm[warm.size() / 2];
    }

    double minimum() const
    {
        return runs.size() < 2 ? first() : *std::min_element (runs.begin() + 1, runs.end());
    }
};

void printTimingRow (const char* what, const Timings& t)
{
    std::printf (
        "%-44s %10.3f %10.3f %10.3f %6zu\n", what, t.first(), t.median(), t.minimum(), t.runs.size());
}

void printMemoryRow (const char* what, long kib, long baseKiB)
{
    std::printf ("%-44s %10.1f %10.1f\n", what, (double) kib / 1024.0, (double) (kib - baseKiB) / 1024.0);
}
} // namespace

int main()
{
    constexpr int repetitions = 20;
    constexpr int manyInstances = 16;

    const auto residentBeforeLoading = readResidentKiB();

    std::string error;
    const auto loadStart = Clock::now();
    auto module = kelto::vst3::loadModule (KELTO_BUNDLE_PATH, error);
    const auto loadMs = millisecondsSince (loadStart);

    if (module == nullptr)
    {
        std::fprintf (stderr, "cannot load %s: %s\n", KELTO_BUNDLE_PATH, error.c_str());
        return 1;
    }

    const auto residentLoaded = readResidentKiB();
    const auto componentClass = VST3::UID::fromString (std::string (componentClassText));

    if (! componentClass)
        return 1;

    // With a display the host offers its run loop through the frame, as the editor needs it.
    const bool hasDisplay = std::getenv ("DISPLAY") != nullptr;
    std::unique_ptr<kelto::vst3::HostWindow> window;
    std::unique_ptr<kelto::vst3::PlugFrame> frame;

    if (hasDisplay)
    {
        window = std::make_unique<kelto::vst3::HostWindow>();

        if (! window->isOpen())
        {
            std::fprintf (stderr, "cannot open the X display\n");
            return 1;
        }

        frame = std::make_unique<kelto::vst3::PlugFrame> (window->display, window->window);
    }

    kelto::vst3::HostContext host (frame.get());
    auto& factory = module->getFactory();
    factory.setHostContext (&host);

    const auto makeInstance = [&]
    {
        auto instance = std::make_unique<kelto::vst3::PluginInstance> (factory, *componentClass, &host);

        if (! instance->getError().empty())
        {
            std::fprintf (stderr, "instance: %s\n", instance->getError().c_str());
            std::exit (1);
        }

        return instance;
    };

    // The first instance is timed cold and kept; the rest are made and released beside it.
    Timings creation;
    std::vector<std::unique_ptr<kelto::vst3::PluginInstance>> instances;

    {
        const auto start = Clock::now();
        instances.push_back (makeInstance());
        creation.add (millisecondsSince (start));
    }

    const auto residentOne = readResidentKiB();

    for (int i = 0; i < repetitions; ++i)
    {
        const auto start = Clock::now();
        auto instance = makeInstance();
        creation.add (millisecondsSince (start));
    }

    // Before any editor is opened, whose fonts and images stay resident after it closes.
    while ((int) instances.size() < manyInstances)
        instances.push_back (makeInstance());

    const auto residentMany = readResidentKiB();

    Timings editor;
    long residentEditorOpen = -1;

    if (hasDisplay)
    {
        for (int i = 0; i <= repetitions; ++i)
        {
            const auto start = Clock::now();
            auto view = owned (instances.front()->getController().createView (Vst::ViewType::kEditor));

            if (view == nullptr || view->setFrame (frame.get()) != kResultOk
                || view->attached (reinterpret_cast<void*> (window->window), kPlatformTypeX11EmbedWindowID)
                       != kResultTrue)
            {
                std::fprintf (stderr, "the editor view would not attach\n");
                return 1;
            }

            editor.add (millisecondsSince (start));

            // Let it paint and run its timers, as a window the user looks at.
            frame->pumpFor (std::chrono::milliseconds (50));

            if (i == 0)
                residentEditorOpen = readResidentKiB();

            view->removed();
            view->setFrame (nullptr);
            view = nullptr;
            frame->pumpFor (std::chrono::milliseconds (10));
        }
    }

    std::printf ("KELTO ZAVI instance cost (%s)\n\n", KELTO_BUNDLE_PATH);
    std::printf ("%-44s %10s %10s %10s %6s\n", "time (ms)", "first", "median", "min", "runs");
    std::printf ("%-44s %10.3f %10s %10s %6d\n", "load the module", loadMs, "-", "-", 1);
    printTimingRow ("create + initialise + connect one instance", creation);

    if (hasDisplay)
        printTimingRow ("create + attach its editor view", editor);
    else
        std::printf ("%-44s %10s\n", "create + attach its editor view", "no DISPLAY: run under xvfb-run");

    std::printf ("\n%-44s %10s %10s\n", "resident memory (VmRSS, MiB)", "total", "added");
    printMemoryRow ("before loading the module", residentBeforeLoading, residentBeforeLoading);
    printMemoryRow ("module loaded, no instance", residentLoaded, residentBeforeLoading);
    printMemoryRow ("1 instance", residentOne, residentBeforeLoading);

    printMemoryRow ("16 instances", residentMany, residentBeforeLoading);

    if (residentEditorOpen >= 0)
        printMemoryRow ("16 instances, one editor open", residentEditorOpen, residentBeforeLoading);
    std::printf ("%-44s %10.1f\n",
                 "per instance beyond the first (KiB)",
                 (double) (residentMany - residentOne) / (double) (manyInstances - 1));

    instances.clear();
    frame.reset();
    factory.setHostContext (nullptr);
    return 0;
}
