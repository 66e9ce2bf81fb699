#include "BundleTestSupport.h"
#include "HostRunLoop.h"

#include <X11/Xlib.h>

#include <atomic>
#include <cstdlib>
#include <thread>

namespace kelto::vst3::test
{
namespace
{
    using namespace Steinberg;
    using namespace std::chrono_literals;

    /** The host's window frame. It is also the host's run loop, which JUCE's view looks for on
        the frame when it is attached; the calls are served by a HostRunLoop.
    */
    class PlugFrame final : public U::ImplementsNonDestroyable<U::Directly<IPlugFrame, Linux::IRunLoop>>
    {
    public:
        PlugFrame (Display* d, Window w) : display (d), window (w) {}

        tresult PLUGIN_API resizeView (IPlugView* view, ViewRect* newSize) override
        {
            if (view == nullptr || newSize == nullptr)
                return kInvalidArgument;

            ++numResizeRequests;
            XResizeWindow (display, window, (unsigned) newSize->getWidth(), (unsigned) newSize->getHeight());
            XSync (display, False);
            return view->onSize (newSize);
        }

        tresult PLUGIN_API registerEventHandler (Linux::IEventHandler* handler,
                                                 Linux::FileDescriptor fd) override
        {
            return runLoop.registerEventHandler (handler, fd);
        }

        tresult PLUGIN_API unregisterEventHandler (Linux::IEventHandler* handler) override
        {
            return runLoop.unregisterEventHandler (handler);
        }

        tresult PLUGIN_API registerTimer (Linux::ITimerHandler* handler, Linux::TimerInterval ms) override
        {
            return runLoop.registerTimer (handler, ms);
        }

        tresult PLUGIN_API unregisterTimer (Linux::ITimerHandler* handler) override
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

    std::vector<Window> getChildren (Display* display, Window window)
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

    /** Feeds the processor as a host's audio thread does while the window is open. */
    class AudioThread
    {
    public:
        explicit AudioThread (PluginInstance& p) : instance (p), thread ([this] { run(); }) {}

        ~AudioThread()
        {
            stop = true;
            thread.join();
        }

        std::atomic<int> numBlocks{ 0 }, numFailures{ 0 };

    private:
        void run()
        {
            Channels output;

            for (long long position = 0; !stop; position += blockSize)
            {
                if (instance.process (makeSine (2, blockSize, position, 440.0, 0.5f), output) != kResultOk)
                    ++numFailures;

                ++numBlocks;
                std::this_thread::sleep_for (10ms); // about real time at 44.1 kHz
            }
        }

        PluginInstance& instance;
        std::atomic<bool> stop{ false };
        std::thread thread;
    };

    std::atomic<int> numXErrors{ 0 };

    // Xlib's default handler ends the process on any error. Hosts install their own, and JUCE's
    // plug-in code relies on that: on a server without a window manager it sets properties whose
    // atoms do not exist.
    int countXError (Display*, XErrorEvent*)
    {
        ++numXErrors;
        return 0;
    }

    TEST (EditorWindow, OpensInAnX11WindowWhileProcessingAndReopens)
    {
        if (std::getenv ("DISPLAY") == nullptr)
            GTEST_SKIP() << "no X display; ctest runs this test under xvfb-run";

        XInitThreads();
        const auto previousHandler = XSetErrorHandler (countXError);

        auto* display = XOpenDisplay (nullptr);
        ASSERT_NE (display, nullptr) << "cannot open the X display";

        const auto window =
            XCreateSimpleWindow (display, DefaultRootWindow (display), 0, 0, 720, 440, 0, 0, 0);
        XMapWindow (display, window);
        XSync (display, False);

        {
            // Declared before the instance so that it outlives everything that refers to it.
            PlugFrame frame (display, window);
            HostContext host (&frame);

            const HeadlessAgain headlessAgain; // before the frame goes, even if an assertion ends the test

            auto instance = makeInstance (&host);
            ASSERT_NE (instance, nullptr);
            ASSERT_TRUE (instance->startProcessing (sampleRate, blockSize));

            for (int opening = 0; opening < 2; ++opening)
            {
                SCOPED_TRACE ("opening " + std::to_string (opening + 1));

                auto view = owned (instance->getController().createView (Vst::ViewType::kEditor));
                ASSERT_NE (view, nullptr);

                EXPECT_EQ (view->isPlatformTypeSupported (kPlatformTypeX11EmbedWindowID), kResultTrue);
                ViewRect size;
                ASSERT_EQ (view->getSize (&size), kResultOk);
                EXPECT_EQ (size.getWidth(), 720);
                EXPECT_EQ (size.getHeight(), 440);
                EXPECT_EQ (view->canResize(), kResultFalse);

                ASSERT_EQ (view->setFrame (&frame), kResultOk);
                ASSERT_EQ (view->attached (reinterpret_cast<void*> (window), kPlatformTypeX11EmbedWindowID),
                           kResultTrue);
                EXPECT_GT (frame.runLoop.getNumEventHandlers(), 0u)
                    << "the view did not join the host's run loop";

                const auto eventsBefore = frame.runLoop.getNumDispatchedEvents();

                {
                    AudioThread audio (*instance);
                    frame.pumpFor (opening == 0 ? 1000ms : 300ms);
                    EXPECT_GT (audio.numBlocks.load(), 0);
                    EXPECT_EQ (audio.numFailures.load(), 0);
                }

                EXPECT_GT (frame.runLoop.getNumDispatchedEvents(), eventsBefore)
                    << "the plug-in's messages and timers never ran through the run loop";

                const auto children = getChildren (display, window);
                ASSERT_EQ (children.size(), 1u) << "the editor is not embedded in the host window";
                XWindowAttributes attributes{};
                XGetWindowAttributes (display, children.front(), &attributes);
                EXPECT_EQ (attributes.width, 720);
                EXPECT_EQ (attributes.height, 440);

                EXPECT_EQ (view->removed(), kResultOk);
                view->setFrame (nullptr);
                view = nullptr;
                frame.pumpFor (100ms);
                EXPECT_TRUE (getChildren (display, window).empty())
                    << "the editor's window outlived its view";
            }
        }

        XDestroyWindow (display, window);
        XCloseDisplay (display);
        XSetErrorHandler (previousHandler);
        RecordProperty ("xErrors", numXErrors.load());
    }
} // namespace
} // namespace kelto::vst3::test
