#pragma once

#include "Vst3Host.h"

#include "public.sdk/source/vst/utility/stringconvert.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

namespace kelto::vst3::test
{
inline const std::string bundlePath = KELTO_BUNDLE_PATH;

inline VST3::UID uidFromText (const char* text)
{
    auto uid = VST3::UID::fromString (std::string (text));
    return uid ? *uid : VST3::UID {};
}

inline const auto componentClassID = uidFromText ("ABCDEF019182FAEB4B656C744B726E67");
inline const auto controllerClassID = uidFromText ("ABCDEF011234ABCD4B656C744B726E67");
inline const auto compatibilityClassID = uidFromText ("ABCDEF01C0DEF00D4B656C744B726E67");

// VST3 parameter IDs as hosts store them in projects and automation.
constexpr Steinberg::Vst::ParamID freqID = 3151480;
constexpr Steinberg::Vst::ParamID mixID = 108124;
constexpr Steinberg::Vst::ParamID outputID = 1141971201;
constexpr Steinberg::Vst::ParamID bypassID = 773352680;
constexpr Steinberg::Vst::ParamID hostBypassID = 0x62797073;
constexpr Steinberg::Vst::ParamID programID = 0x70727374;

constexpr double sampleRate = 44100.0;
constexpr int blockSize = 512;
constexpr double twoPi = 6.283185307179586;

/** The bundle, loaded once for the whole program, as a host keeps a scanned module. */
struct Bundle
{
    std::string error;
    VST3::Hosting::Module::Ptr module = loadModule (bundlePath, error);

    static Bundle& get()
    {
        static Bundle bundle;
        return bundle;
    }
};

/** The host application for tests that drive no window: JUCE then services its own messages. */
inline HostContext& getHeadlessHost()
{
    static HostContext host;
    return host;
}

/** A new, initialised and connected instance; fails the calling test when the bundle misbehaves. */
inline std::unique_ptr<PluginInstance> makeInstance (Steinberg::FUnknown* host = &getHeadlessHost())
{
    auto& bundle = Bundle::get();

    if (bundle.module == nullptr)
    {
        ADD_FAILURE() << "cannot load " << bundlePath << ": " << bundle.error;
        return nullptr;
    }

    bundle.module->getFactory().setHostContext (host);
    auto instance = std::make_unique<PluginInstance> (bundle.module->getFactory(), componentClassID, host);

    if (! instance->getError().empty())
    {
        ADD_FAILURE() << instance->getError();
        return nullptr;
    }

    return instance;
}

/** Hands the factory the headless host again when a test that used its own host context ends: the
    factory keeps the context it was given, and the test's context dies with the test.
*/
struct HeadlessAgain
{
    HeadlessAgain() = default;
    HeadlessAgain (const HeadlessAgain&) = delete;
    HeadlessAgain& operator= (const HeadlessAgain&) = delete;

    ~HeadlessAgain()
    {
        if (auto& module = Bundle::get().module)
            module->getFactory().setHostContext (&getHeadlessHost());
    }
};

/** numChannels copies of amplitude * sin (2 pi f t), continuing from sample startSample. */
inline Channels
    makeSine (size_t numChannels, int numSamples, long long startSample, double frequency, float amplitude)
{
    std::vector<float> samples ((size_t) numSamples);

    for (int i = 0; i < numSamples; ++i)
        samples[(size_t) i] =
            amplitude * (float) std::sin (twoPi * frequency * (double) (startSample + i) / sampleRate);

    return Channels (numChannels, samples);
}

/** The carrier as the processor must run it: one double phase, advanced and wrapped per sample. */
struct Carrier
{
    double phase = 0.0;

    float next (double frequency)
    {
        const auto value = (float) std::sin (phase);
        phase += frequency * twoPi / sampleRate;

        if (phase >= twoPi)
            phase -= twoPi;

        return value;
    }
};

inline std::string toUtf8 (const Steinberg::Vst::TChar* text)
{
    return VST3::StringConvert::convert (text);
}

} // namespace kelto::vst3::test
