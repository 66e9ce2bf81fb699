#include "BundleTestSupport.h"
#include "HostWindow.h"

#include <atomic>
#include <cstdlib>
#include <thread>

namespace kelto::vst3::test
{
namespace
{
    using namespace Steinberg;
    using namespace std::chrono_literals;

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

        std::atomic<int> numBlocks { 0 }, numFailures { 0 };

    private:
        void run()
        {
            Channels output;

            for (long long position = 0; ! stop; position += blockSize)
            {
                if (instance.process (makeSine (2, blockSize, position, 440.0, 0.5f), output) != kResultOk)
                    ++numFailures;

                ++numBlocks;
                std::this_thread::sleep_for (10ms); // about real time at 44.1 kHz
            }
        }

        PluginInstance& instance;
        std::atomic<bool> stop { false };
        std::thread thread;
    };

    TEST (EditorWindow, OpensInAnX11WindowWhileProcessingAndReopens)
    {
        if (std::getenv ("DISPLAY") == nullptr)
            GTEST_SKIP() << "no X display; ctest runs this test under xvfb-run";

        const HostWindow hostWindow;
        ASSERT_TRUE (hostWindow.isOpen()) << "cannot open the X display";
        auto* display = hostWindow.display;
        const auto window = hostWindow.window;

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

                const auto children = getChildWindows (display, window);
                ASSERT_EQ (children.size(), 1u) << "the editor is not embedded in the host window";
                XWindowAttributes attributes {};
                XGetWindowAttributes (display, children.front(), &attributes);
                EXPECT_EQ (attributes.width, 720);
                EXPECT_EQ (attributes.height, 440);

                EXPECT_EQ (view->removed(), kResultOk);
                view->setFrame (nullptr);
                view = nullptr;
                frame.pumpFor (100ms);
                EXPECT_TRUE (getChildWindows (display, window).empty())
                    << "the editor's window outlived its view";
            }
        }

        RecordProperty ("xErrors", numXErrors.load());
    }
} // namespace
} // namespace kelto::vst3::test
