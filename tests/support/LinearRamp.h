#pragma once

namespace kelto::test
{
/** A linear ramp over a fixed number of steps, written from how the plug-in's output-gain and
    bypass smoothing is meant to behave, for tests that compute the signal law themselves.
    Resetting ends any ramp at its target; a new target starts a ramp of the full length from
    the present value, or jumps there when the length is 0. */
struct LinearRamp
{
    float current = 0.0f, target = 0.0f, step = 0.0f;
    int length = 0, countdown = 0;

    explicit LinearRamp (float initial = 0.0f) : current (initial), target (initial) {}

    void reset (int steps)
    {
        length = steps;
        current = target;
        countdown = 0;
    }

    void setTarget (float value)
    {
        if (value == target)
            return;

        if (length <= 0)
        {
            current = target = value;
            countdown = 0;
            return;
        }

        target = value;
        countdown = length;
        step = (target - current) / (float) countdown;
    }

    float next()
    {
        if (countdown <= 0)
            return target;

        current = --countdown > 0 ? current + step : target;
        return current;
    }

    bool active() const { return countdown > 0; }
};
} // namespace kelto::test
