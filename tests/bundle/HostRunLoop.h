#pragma once

#include "pluginterfaces/base/funknownimpl.h"
#include "pluginterfaces/gui/iplugview.h"

#include <chrono>
#include <vector>

namespace kelto::vst3
{
/** The host's run loop for Linux plug-ins: file descriptors and timers that a plug-in registers,
    serviced on the calling thread whenever the test pumps it. JUCE's wrapper attaches its message
    queue and X connection here, so without pumping its timers and window events never run.
*/
class HostRunLoop final
    : public Steinberg::U::ImplementsNonDestroyable<Steinberg::U::Directly<Steinberg::Linux::IRunLoop>>
{
public:
    HostRunLoop() = default;
    ~HostRunLoop() override = default;

    Steinberg::tresult PLUGIN_API registerEventHandler (Steinberg::Linux::IEventHandler* handler,
                                                        Steinberg::Linux::FileDescriptor fd) override;
    Steinberg::tresult PLUGIN_API unregisterEventHandler (Steinberg::Linux::IEventHandler* handler) override;
    Steinberg::tresult PLUGIN_API registerTimer (Steinberg::Linux::ITimerHandler* handler,
                                                 Steinberg::Linux::TimerInterval milliseconds) override;
    Steinberg::tresult PLUGIN_API unregisterTimer (Steinberg::Linux::ITimerHandler* handler) override;

    /** Waits at most maxWaitMs for a readable descriptor or a due timer, then dispatches what is ready. */
    void pump (int maxWaitMs);

    /** Pumps for the given time. */
    void pumpFor (std::chrono::milliseconds duration);

    size_t getNumEventHandlers() const noexcept { return eventHandlers.size(); }
    size_t getNumTimers() const noexcept { return timers.size(); }
    int getNumDispatchedEvents() const noexcept { return numDispatchedEvents; }
    int getNumFiredTimers() const noexcept { return numFiredTimers; }

private:
    using Clock = std::chrono::steady_clock;

    struct EventHandlerEntry
    {
        Steinberg::Linux::FileDescriptor fd;
        Steinberg::IPtr<Steinberg::Linux::IEventHandler> handler;
    };

    struct TimerEntry
    {
        Steinberg::IPtr<Steinberg::Linux::ITimerHandler> handler;
        std::chrono::milliseconds interval;
        Clock::time_point nextFire;
    };

    bool isRegistered (Steinberg::Linux::IEventHandler* handler, Steinberg::Linux::FileDescriptor fd) const;

    std::vector<EventHandlerEntry> eventHandlers;
    std::vector<TimerEntry> timers;
    int numDispatchedEvents = 0, numFiredTimers = 0;

    HostRunLoop (const HostRunLoop&) = delete;
    HostRunLoop& operator= (const HostRunLoop&) = delete;
};

} // namespace kelto::vst3
