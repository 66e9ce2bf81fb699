#include "BundleTestSupport.h"

#include "pluginterfaces/vst/ivstunits.h"

namespace kelto::vst3::test
{
namespace
{
    using namespace Steinberg;
    using Vst::ParameterInfo;

    struct ExpectedParameter
    {
        Vst::ParamID id;
        const char* title;
        const char* shortTitle;
        int32 stepCount;
        bool isHostBypass, isProgramChange;
        double defaultNormalised;
    };

    // The processor's four parameters, then the host bypass and program change the wrapper adds.
    const std::vector<ExpectedParameter> expectedParameters {
        { freqID, "Frequency", "Frequenc", 0, false, false, 0.3913 },
        { mixID, "Mix", "Mix", 0, false, false, 1.0 },
        { outputID, "Output", "Output", 0, false, false, 24.0 / 36.0 },
        { bypassID, "Bypass", "Bypass", 1, false, false, 0.0 },
        { hostBypassID, "Bypass", "Bypass", 1, true, false, 0.0 },
        { programID, "Program", "Program", 5, false, true, 0.0 },
    };

    TEST (Parameters, ControllerListsSixParametersInOrder)
    {
        auto instance = makeInstance();
        ASSERT_NE (instance, nullptr);

        const auto infos = instance->getParameterInfos();
        ASSERT_EQ (infos.size(), expectedParameters.size());

        for (size_t i = 0; i < infos.size(); ++i)
        {
            const auto& info = infos[i];
            const auto& expected = expectedParameters[i];
            SCOPED_TRACE (std::to_string (i) + " " + expected.title);

            EXPECT_EQ (info.id, expected.id);
            EXPECT_EQ (toUtf8 (info.title), expected.title);
            EXPECT_EQ (toUtf8 (info.shortTitle), expected.shortTitle);
            EXPECT_EQ (toUtf8 (info.units), "");
            EXPECT_EQ (info.stepCount, expected.stepCount);
            EXPECT_EQ (info.unitId, Vst::kRootUnitId);
            EXPECT_NE (info.flags & ParameterInfo::kCanAutomate, 0);
            EXPECT_EQ ((info.flags & ParameterInfo::kIsBypass) != 0, expected.isHostBypass);
            EXPECT_EQ ((info.flags & ParameterInfo::kIsProgramChange) != 0, expected.isProgramChange);
            EXPECT_NEAR (info.defaultNormalizedValue, expected.defaultNormalised, 1.0e-4);
            EXPECT_NEAR (
                instance->getController().getParamNormalized (info.id), expected.defaultNormalised, 1.0e-4);
        }
    }

    TEST (Parameters, HostShowsTheProcessorsValueTexts)
    {
        auto instance = makeInstance();
        ASSERT_NE (instance, nullptr);
        auto& controller = instance->getController();

        const std::vector<std::pair<Vst::ParamID, std::string>> defaults {
            { freqID, "220.0 Hz" },
            { mixID, "100 %" },
            { outputID, "0.0 dB" },
        };

        for (const auto& [id, text] : defaults)
        {
            Vst::String128 shown {};
            ASSERT_EQ (controller.getParamStringByValue (id, controller.getParamNormalized (id), shown),
                       kResultOk);
            EXPECT_EQ (toUtf8 (shown), text) << "parameter " << id;
        }
    }

    // Typed text is read in the parameter's own unit, except that frequency text in kilohertz
    // reads back to the value it shows.
    TEST (Parameters, HostTypedTextIsReadInTheParametersOwnUnit)
    {
        auto instance = makeInstance();
        ASSERT_NE (instance, nullptr);
        auto& controller = instance->getController();

        struct Typed
        {
            Vst::ParamID id;
            const char* text;
            double normalised;
        };

        const std::vector<Typed> cases {
            { freqID, "2 kHz", std::pow ((2000.0 - 1.0) / 4999.0, 0.3) },
            { freqID, "220.0 Hz", std::pow ((220.0 - 1.0) / 4999.0, 0.3) },
            { outputID, "-30", 0.0 },
            { mixID, "70", 0.7 },
        };

        for (const auto& typed : cases)
        {
            Vst::String128 text {};
            VST3::StringConvert::convert (typed.text, text);
            Vst::ParamValue normalised = -1.0;
            ASSERT_EQ (controller.getParamValueByString (typed.id, text, normalised), kResultOk)
                << typed.text;
            EXPECT_NEAR (normalised, typed.normalised, 1.0e-4) << "\"" << typed.text << "\"";
        }
    }

    TEST (Units, OneRootUnitOwnsTheFactoryProgramList)
    {
        auto instance = makeInstance();
        ASSERT_NE (instance, nullptr);
        auto units = instance->queryController<Vst::IUnitInfo>();
        ASSERT_NE (units, nullptr);

        ASSERT_EQ (units->getUnitCount(), 1);
        Vst::UnitInfo unit {};
        ASSERT_EQ (units->getUnitInfo (0, unit), kResultTrue);
        EXPECT_EQ (unit.id, Vst::kRootUnitId);
        EXPECT_EQ (unit.parentUnitId, Vst::kNoParentUnitId);
        EXPECT_EQ (unit.programListId, (Vst::ProgramListID) programID);
        EXPECT_EQ (toUtf8 (unit.name), "Root Unit");

        ASSERT_EQ (units->getProgramListCount(), 1);
        Vst::ProgramListInfo list {};
        ASSERT_EQ (units->getProgramListInfo (0, list), kResultTrue);
        EXPECT_EQ (list.id, (Vst::ProgramListID) programID);
        EXPECT_EQ (toUtf8 (list.name), "Factory Presets");

        const std::vector<std::string> names { "Slow Tremolo",  "Classic Ring", "Robot Voice",
                                               "Metallic Bell", "Clangorous",   "Sci-Fi Sweep" };
        ASSERT_EQ (list.programCount, (int32) names.size());

        for (int32 i = 0; i < list.programCount; ++i)
        {
            Vst::String128 name {};
            ASSERT_EQ (units->getProgramName (list.id, i, name), kResultTrue);
            EXPECT_EQ (toUtf8 (name), names[(size_t) i]) << "program " << i;
        }
    }
} // namespace
} // namespace kelto::vst3::test
