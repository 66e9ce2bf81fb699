#pragma once

#include "HostRunLoop.h"

#include "pluginterfaces/gui/iplugview.h"

#include <X11/Xlib.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace kelto::vst3
{
/** The host's window frame. It is also the host's run loop, which JUCE's view looks for on the
    frame when it is attached; the calls are served by a HostRunLoop.
*/
class PlugFrame final : public Steinberg::U::ImplementsNonDestroyable<
                            Steinberg::U::Directly<Steinberg::IPlugFrame, Steinberg::Linux::IRunLoop>>
{
public:
    PlugFrame (Display* d, Window w) : display (d), window (w) {}

    Steinberg::tresult PLUGIN_API resizeView (Steinberg::IPlugView* view,
                                              Steinberg::ViewRect* newSize) override
    {
        if (view == nullptr || newSize == nullptr)
            return Steinberg::kInvalidArgument;

        ++numResizeRequests;
        XResizeWindow (display, window, (unsigned) newSize->getWidth(), (unsigned) newSize->getHeight());
        XSync (display, False);
        return view->onSize (newSize);
    }

    Steinberg::tresult PLUGIN_API registerEventHandler (Steinberg::Linux::IEventHandler* handler,
                                                        Steinberg::Linux::FileDescriptor fd) override
    {
        return runLoop.registerEventHandler (handler, fd);
    }

    Steinberg::tresult PLUGIN_API unregisterEventHandler (Steinberg::Linux::IEventHandler* handler) override
    {
        return runLoop.unregisterEventHandler (handler);
    }

    Steinberg::tresult PLUGIN_API registerTimer (Steinberg::Linux::ITimerHandler* handler,
                                                 Steinberg::Linux::TimerInterval ms) override
    {
        return runLoop.registerTimer (handler, ms);
    }

    Steinberg::tresult PLUGIN_API unregisterTimer (Steinberg::Linux::ITimerHandler* handler) override
    {
        return runLoop.unregisterTimer (handler);
    }

    /** Runs the plug-in's handlers and drains the host window's own events. */
    void pumpFor (std::chrono::milliseconds duration)
    {
        const auto end = std::chrono::steady_clock::now() + duration;

        while (std::chrono::steady_clock::now() < end)
        {
            runLoop.pump (10);

            while (XPending (display) > 0)
            {
                XEvent event;
                XNextEvent (display, &event);
            }
        }
    }

    HostRunLoop runLoop;
    int numResizeRequests = 0;

private:
    Display* display;
    Window window;
};

inline std::vector<Window> getChildWindows (Display* display, Window window)
{
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    std::vector<Window> result;

    if (XQueryTree (display, window, &root, &parent, &children, &count) != 0)
    {
        result.assign (children, children + count);
        XFree (children);
    }

    return result;
}

inline std::atomic<int> numXErrors { 0 };

/** Xlib's default handler ends the process on any error. Hosts install their own, and JUCE's
    plug-in code relies on that: on a server without a window manager it sets properties whose
    atoms do not exist.
*/
inline int countXError (Display*, XErrorEvent*)
{
    ++numXErrors;
    return 0;
}

/** An X connection with one mapped top-level window of the editor's size, as a host's plug-in
    window; it installs the error handler above for its lifetime.
*/
class HostWindow
{
public:
    HostWindow()
    {
        XInitThreads();
        previousHandler = XSetErrorHandler (countXError);

        // An X server without -noreset (as xvfb-run starts it) resets when its last client leaves,
        // and refuses connections meanwhile; the window of a previous test may just have gone.
        for (int attempt = 0; attempt < 40 && display == nullptr; ++attempt)
        {
            if (attempt > 0)
                std::this_thread::sleep_for (std::chrono::milliseconds (50));

            display = XOpenDisplay (nullptr);
        }

        if (display != nullptr)
        {
            window = XCreateSimpleWindow (display, DefaultRootWindow (display), 0, 0, 720, 440, 0, 0, 0);
            XMapWindow (display, window);
            XSync (display, False);
        }
    }

    ~HostWindow()
    {
        if (display != nullptr)
        {
            XDestroyWindow (display, window);
            XCloseDisplay (display);
        }

        XSetErrorHandler (previousHandler);
    }

    bool isOpen() const noexcept { return display != nullptr; }

    Display* display = nullptr;
    Window window = 0;

private:
    XErrorHandler previousHandler = nullptr;

    HostWindow (const HostWindow&) = delete;
    HostWindow& operator= (const HostWindow&) = delete;
};

} // namespace kelto::vst3
