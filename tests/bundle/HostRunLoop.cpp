#include "HostRunLoop.h"

#include <algorithm>
#include <poll.h>

namespace kelto::vst3
{
using namespace Steinberg;

tresult PLUGIN_API HostRunLoop::registerEventHandler (Linux::IEventHandler* handler, Linux::FileDescriptor fd)
{
    if (handler == nullptr || fd < 0 || isRegistered (handler, fd))
        return kInvalidArgument;

    eventHandlers.push_back ({ fd, handler });
    return kResultTrue;
}

tresult PLUGIN_API HostRunLoop::unregisterEventHandler (Linux::IEventHandler* handler)
{
    if (handler == nullptr)
        return kInvalidArgument;

    // A handler may own several descriptors (JUCE registers all of its own with one handler).
    const auto sizeBefore = eventHandlers.size();
    eventHandlers.erase (std::remove_if (eventHandlers.begin(),
                                         eventHandlers.end(),
                                         [handler] (const auto& e) { return e.handler.get() == handler; }),
                         eventHandlers.end());
    return eventHandlers.size() < sizeBefore ? kResultTrue : kResultFalse;
}

tresult PLUGIN_API HostRunLoop::registerTimer (Linux::ITimerHandler* handler,
                                               Linux::TimerInterval milliseconds)
{
    if (handler == nullptr || milliseconds == 0)
        return kInvalidArgument;

    const std::chrono::milliseconds interval { static_cast<long long> (milliseconds) };
    timers.push_back ({ handler, interval, Clock::now() + interval });
    return kResultTrue;
}

tresult PLUGIN_API HostRunLoop::unregisterTimer (Linux::ITimerHandler* handler)
{
    if (handler == nullptr)
        return kInvalidArgument;

    const auto sizeBefore = timers.size();
    timers.erase (std::remove_if (timers.begin(),
                                  timers.end(),
                                  [handler] (const auto& t) { return t.handler.get() == handler; }),
                  timers.end());
    return timers.size() < sizeBefore ? kResultTrue : kResultFalse;
}

bool HostRunLoop::isRegistered (Linux::IEventHandler* handler, Linux::FileDescriptor fd) const
{
    return std::any_of (eventHandlers.begin(),
                        eventHandlers.end(),
                        [&] (const auto& e) { return e.fd == fd && e.handler.get() == handler; });
}

void HostRunLoop::pump (int maxWaitMs)
{
    auto waitMs = std::max (0, maxWaitMs);
    const auto now = Clock::now();

    for (const auto& t : timers)
    {
        const auto untilDue =
            std::chrono::duration_cast<std::chrono::milliseconds> (t.nextFire - now).count();
        waitMs = std::min (waitMs, static_cast<int> (std::max<long long> (0, untilDue)));
    }

    std::vector<pollfd> descriptors;

    for (const auto& e : eventHandlers)
        descriptors.push_back ({ e.fd, POLLIN, 0 });

    ::poll (descriptors.data(), static_cast<nfds_t> (descriptors.size()), waitMs);

    // Callbacks may register or unregister handlers, so work from a snapshot and re-check each one.
    const auto snapshot = eventHandlers;

    for (const auto& d : descriptors)
    {
        if ((d.revents & (POLLIN | POLLHUP | POLLERR)) == 0)
            continue;

        for (const auto& e : snapshot)
        {
            if (e.fd == d.fd && isRegistered (e.handler.get(), e.fd))
            {
                e.handler->onFDIsSet (e.fd);
                ++numDispatchedEvents;
            }
        }
    }

    const auto afterEvents = Clock::now();
    std::vector<IPtr<Linux::ITimerHandler>> due;

    for (auto& t : timers)
    {
        if (t.nextFire <= afterEvents)
        {
            t.nextFire = afterEvents + t.interval;
            due.push_back (t.handler);
        }
    }

    for (const auto& handler : due)
    {
        const auto stillRegistered =
            std::any_of (timers.begin(), timers.end(), [&] (const auto& t) { return t.handler == handler; });

        if (stillRegistered)
        {
            handler->onTimer();
            ++numFiredTimers;
        }
    }
}

void HostRunLoop::pumpFor (std::chrono::milliseconds duration)
{
    const auto end = Clock::now() + duration;

    for (auto now = Clock::now(); now < end; now = Clock::now())
        pump (static_cast<int> (std::chrono::duration_cast<std::chrono::milliseconds> (end - now).count())
              + 1);
}

} // namespace kelto::vst3
