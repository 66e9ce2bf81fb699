#include "Vst3Host.h"

#include "public.sdk/source/common/memorystream.h"

#include "pluginterfaces/vst/ivstmessage.h"
#include "pluginterfaces/vst/ivstprocesscontext.h"

#include <algorithm>
#include <dlfcn.h>

#ifndef __has_feature
#define __has_feature(x) 0
#endif

namespace kelto::vst3
{
using namespace Steinberg;

VST3::Hosting::Module::Ptr loadModule (const std::string& bundlePath, std::string& error)
{
    auto module = VST3::Hosting::Module::create (bundlePath, error);

#if defined(__SANITIZE_ADDRESS__) || __has_feature(address_sanitizer)
    // Keep the plug-in mapped after the module is released: what its statics still hold at
    // exit then stays reachable, and a real leak could still be traced to its functions.
    if (module != nullptr)
        dlopen ((bundlePath + "/Contents/x86_64-linux/KELTO ZAVI.so").c_str(),
                RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
#endif

    return module;
}

//==============================================================================
tresult PLUGIN_API HostContext::queryInterface (const TUID iid, void** obj)
{
    if (runLoop != nullptr && FUnknownPrivate::iidEqual (iid, Linux::IRunLoop::iid))
    {
        runLoop->addRef();
        *obj = runLoop;
        return kResultOk;
    }

    return HostApplication::queryInterface (iid, obj);
}

//==============================================================================
IPtr<IBStream> makeStream (const std::vector<char>& bytes)
{
    auto stream = owned (new MemoryStream());

    if (! bytes.empty())
    {
        int32 written = 0;
        stream->write (const_cast<char*> (bytes.data()), static_cast<int32> (bytes.size()), &written);
        stream->seek (0, IBStream::kIBSeekSet, nullptr);
    }

    return stream;
}

std::vector<char> getStreamBytes (IBStream& stream)
{
    auto& memory = static_cast<MemoryStream&> (stream);
    return { memory.getData(), memory.getData() + memory.getSize() };
}

//==============================================================================
PluginInstance::PluginInstance (const VST3::Hosting::PluginFactory& factory,
                                const VST3::UID& componentClassID,
                                FUnknown* hostContext)
{
    component = factory.createInstance<Vst::IComponent> (componentClassID);

    if (component == nullptr)
    {
        error = "the factory made no component";
        return;
    }

    if (component->initialize (hostContext) != kResultOk)
    {
        error = "the component refused to initialise";
        return;
    }

    componentInitialised = true;
    processor = FUnknownPtr<Vst::IAudioProcessor> (component);

    if (processor == nullptr)
    {
        error = "the component has no IAudioProcessor";
        return;
    }

    TUID controllerID {};

    if (component->getControllerClassId (controllerID) != kResultOk)
    {
        error = "the component names no controller class";
        return;
    }

    controller = factory.createInstance<Vst::IEditController> (VST3::UID::fromTUID (controllerID));

    if (controller == nullptr)
    {
        error = "the factory made no controller";
        return;
    }

    if (controller->initialize (hostContext) != kResultOk)
    {
        error = "the controller refused to initialise";
        return;
    }

    controllerInitialised = true;
    componentConnection = FUnknownPtr<Vst::IConnectionPoint> (component);
    controllerConnection = FUnknownPtr<Vst::IConnectionPoint> (controller);

    if (componentConnection != nullptr && controllerConnection != nullptr)
    {
        componentConnection->connect (controllerConnection);
        controllerConnection->connect (componentConnection);
    }

    syncControllerWithComponent();
}

PluginInstance::~PluginInstance()
{
    stopProcessing();

    if (componentConnection != nullptr && controllerConnection != nullptr)
    {
        componentConnection->disconnect (controllerConnection);
        controllerConnection->disconnect (componentConnection);
    }

    componentConnection = nullptr;
    controllerConnection = nullptr;

    if (controllerInitialised)
        controller->terminate();

    if (componentInitialised)
        component->terminate();

    controller = nullptr;
    processor = nullptr;
    component = nullptr;
}

void PluginInstance::syncControllerWithComponent()
{
    auto stream = makeStream();

    if (component->getState (stream) == kResultOk)
    {
        stream->seek (0, IBStream::kIBSeekSet, nullptr);
        controller->setComponentState (stream);
    }
}

//==============================================================================
tresult PluginInstance::setBusArrangements (Vst::SpeakerArrangement input, Vst::SpeakerArrangement output)
{
    return processor->setBusArrangements (&input, 1, &output, 1);
}

Vst::SpeakerArrangement PluginInstance::getBusArrangement (Vst::BusDirection direction) const
{
    Vst::SpeakerArrangement arrangement = 0;
    processor->getBusArrangement (direction, 0, arrangement);
    return arrangement;
}

bool PluginInstance::startProcessing (double sampleRate, int32 maxBlockSize)
{
    if (! setupProcessing (sampleRate, maxBlockSize))
        return false;

    component->activateBus (Vst::kAudio, Vst::kInput, 0, true);
    component->activateBus (Vst::kAudio, Vst::kOutput, 0, true);
    return setActive (true) && setProcessing (true);
}

void PluginInstance::stopProcessing()
{
    if (processing)
        setProcessing (false);

    if (active)
        setActive (false);
}

bool PluginInstance::setupProcessing (double sampleRate, int32 maxBlockSize)
{
    Vst::ProcessSetup setup { Vst::kRealtime, Vst::kSample32, maxBlockSize, sampleRate };

    if (processor->setupProcessing (setup) != kResultOk)
        return false;

    currentSampleRate = sampleRate;
    return true;
}

bool PluginInstance::setActive (bool shouldBeActive)
{
    const auto result = component->setActive (shouldBeActive) == kResultOk;
    active = shouldBeActive && result;

    if (active)
        samplePosition = 0;

    return result;
}

bool PluginInstance::setProcessing (bool shouldProcess)
{
    // Some plug-ins answer kNotImplemented here; that still means they may process.
    const auto result = processor->setProcessing (shouldProcess);
    const auto accepted = result == kResultOk || result == kNotImplemented;
    processing = shouldProcess && accepted;
    return accepted;
}

tresult
    PluginInstance::process (const Channels& input, Channels& output, const std::vector<ParamChange>& changes)
{
    const auto numChannels = input.size();
    const auto numSamples = numChannels > 0 ? input.front().size() : size_t { 0 };

    output.assign (numChannels, std::vector<float> (numSamples, 0.0f));

    std::vector<Vst::Sample32*> inputPointers, outputPointers;

    for (size_t ch = 0; ch < numChannels; ++ch)
    {
        inputPointers.push_back (const_cast<float*> (input[ch].data()));
        outputPointers.push_back (output[ch].data());
    }

    Vst::AudioBusBuffers inputBus, outputBus;
    inputBus.numChannels = static_cast<int32> (numChannels);
    inputBus.channelBuffers32 = inputPointers.data();
    outputBus.numChannels = static_cast<int32> (numChannels);
    outputBus.channelBuffers32 = outputPointers.data();

    inputChanges.clearQueue();
    outputChanges.clearQueue();

    for (const auto& change : changes)
    {
        int32 queueIndex = 0, pointIndex = 0;

        if (auto* queue = inputChanges.addParameterData (change.id, queueIndex))
            queue->addPoint (0, change.value, pointIndex);
    }

    Vst::ProcessContext context {};
    context.sampleRate = currentSampleRate;
    context.projectTimeSamples = samplePosition;

    Vst::ProcessData data;
    data.processMode = Vst::kRealtime;
    data.symbolicSampleSize = Vst::kSample32;
    data.numSamples = static_cast<int32> (numSamples);
    data.numInputs = 1;
    data.numOutputs = 1;
    data.inputs = &inputBus;
    data.outputs = &outputBus;
    data.inputParameterChanges = &inputChanges;
    data.outputParameterChanges = &outputChanges;
    data.processContext = &context;

    const auto result = processor->process (data);
    samplePosition += static_cast<int64> (numSamples);
    return result;
}

//==============================================================================
std::vector<char> PluginInstance::getComponentState() const
{
    auto stream = makeStream();

    if (component->getState (stream) != kResultOk)
        return {};

    return getStreamBytes (*stream);
}

tresult PluginInstance::setComponentState (const std::vector<char>& bytes)
{
    auto stream = makeStream (bytes);
    const auto result = component->setState (stream);

    if (result == kResultOk)
    {
        stream->seek (0, IBStream::kIBSeekSet, nullptr);
        controller->setComponentState (stream);
    }

    return result;
}

std::vector<Vst::ParameterInfo> PluginInstance::getParameterInfos() const
{
    std::vector<Vst::ParameterInfo> infos;

    for (int32 i = 0; i < controller->getParameterCount(); ++i)
    {
        Vst::ParameterInfo info {};

        if (controller->getParameterInfo (i, info) == kResultOk)
            infos.push_back (info);
    }

    return infos;
}

} // namespace kelto::vst3
