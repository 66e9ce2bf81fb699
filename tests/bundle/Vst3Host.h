#pragma once

#include "public.sdk/source/vst/hosting/hostclasses.h"
#include "public.sdk/source/vst/hosting/module.h"
#include "public.sdk/source/vst/hosting/parameterchanges.h"

#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <string>
#include <vector>

namespace kelto::vst3
{
/** Loads a VST3 bundle through the SDK's module loader. The module stays loaded for as long as a
    pointer to it lives; JUCE modules are not meant to be unloaded and reloaded in one process, so
    callers keep one for the whole run.
*/
VST3::Hosting::Module::Ptr loadModule (const std::string& bundlePath, std::string& error);

/** The host application object handed to the factory and to every instance. It can offer a
    Linux run loop as well, which is how a plug-in learns which thread is the host's UI thread.
*/
class HostContext final : public Steinberg::Vst::HostApplication
{
public:
    explicit HostContext (Steinberg::Linux::IRunLoop* runLoopToOffer = nullptr) : runLoop (runLoopToOffer) {}

    Steinberg::tresult PLUGIN_API queryInterface (const Steinberg::TUID iid, void** obj) override;

private:
    Steinberg::Linux::IRunLoop* runLoop;
};

/** A block of bytes as an IBStream the plug-in can write into or read from. */
Steinberg::IPtr<Steinberg::IBStream> makeStream (const std::vector<char>& bytes = {});

/** Everything written to a stream made by makeStream(). */
std::vector<char> getStreamBytes (Steinberg::IBStream& stream);

/** One parameter change for a block, applied at its first sample. */
struct ParamChange
{
    Steinberg::Vst::ParamID id;
    Steinberg::Vst::ParamValue value;
};

/** Audio of one bus: one vector of samples per channel. */
using Channels = std::vector<std::vector<float>>;

/** One plug-in instance, driven as a host does: the component and its separate controller,
    initialised, connected and synchronised on construction, and torn down in the reverse order.
*/
class PluginInstance
{
public:
    PluginInstance (const VST3::Hosting::PluginFactory& factory,
                    const VST3::UID& componentClassID,
                    Steinberg::FUnknown* hostContext);
    ~PluginInstance();

    /** Empty when the instance is usable; otherwise what went wrong while creating it. */
    const std::string& getError() const noexcept { return error; }

    Steinberg::Vst::IComponent& getComponent() const { return *component; }
    Steinberg::Vst::IAudioProcessor& getProcessor() const { return *processor; }
    Steinberg::Vst::IEditController& getController() const { return *controller; }

    template <typename Interface>
    Steinberg::IPtr<Interface> queryController() const
    {
        return Steinberg::FUnknownPtr<Interface> (controller);
    }

    Steinberg::tresult setBusArrangements (Steinberg::Vst::SpeakerArrangement input,
                                           Steinberg::Vst::SpeakerArrangement output);
    Steinberg::Vst::SpeakerArrangement getBusArrangement (Steinberg::Vst::BusDirection direction) const;

    /** setupProcessing, bus activation, setActive and setProcessing, for 32-bit realtime processing. */
    bool startProcessing (double sampleRate, Steinberg::int32 maxBlockSize);
    void stopProcessing();

    /** The single steps of startProcessing() and stopProcessing(), for hosts that take them one
        at a time; the sample rate given to setupProcessing() goes into every later block's context.
    */
    bool setupProcessing (double sampleRate, Steinberg::int32 maxBlockSize);
    bool setActive (bool shouldBeActive);
    bool setProcessing (bool shouldProcess);

    /** Processes one block on the main buses; output gets as many channels as input. */
    Steinberg::tresult
        process (const Channels& input, Channels& output, const std::vector<ParamChange>& changes = {});

    std::vector<char> getComponentState() const;

    /** Gives the block to the component, then tells the controller, as hosts restore a project. */
    Steinberg::tresult setComponentState (const std::vector<char>& bytes);

    std::vector<Steinberg::Vst::ParameterInfo> getParameterInfos() const;

private:
    void syncControllerWithComponent();

    std::string error;
    Steinberg::IPtr<Steinberg::Vst::IComponent> component;
    Steinberg::IPtr<Steinberg::Vst::IAudioProcessor> processor;
    Steinberg::IPtr<Steinberg::Vst::IEditController> controller;
    Steinberg::IPtr<Steinberg::Vst::IConnectionPoint> componentConnection, controllerConnection;
    bool componentInitialised = false, controllerInitialised = false, active = false, processing = false;
    double currentSampleRate = 44100.0;
    Steinberg::int64 samplePosition = 0;
    Steinberg::Vst::ParameterChanges inputChanges { 16 }, outputChanges { 16 };

    PluginInstance (const PluginInstance&) = delete;
    PluginInstance& operator= (const PluginInstance&) = delete;
};

} // namespace kelto::vst3
