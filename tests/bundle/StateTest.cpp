#include "BundleTestSupport.h"

#include <cstring>
#include <optional>

namespace kelto::vst3::test
{
namespace
{
    using namespace Steinberg;

    const std::string trailerMagic = "JUCEPrivateData";

    bool endsWithMagic (const std::vector<char>& block)
    {
        return block.size() >= trailerMagic.size()
               && std::equal (
                   trailerMagic.begin(), trailerMagic.end(), block.end() - (long) trailerMagic.size());
    }

    /** The processor's own bytes. JUCE's wrapper appends an int64 0, its private value tree, that
        tree's size as a little-endian int64, then the magic text.
    */
    std::optional<std::vector<char>> stripTrailer (const std::vector<char>& block)
    {
        if (! endsWithMagic (block) || block.size() < trailerMagic.size() + 2 * sizeof (uint64_t))
            return std::nullopt;

        uint64_t privateSize = 0;
        std::memcpy (&privateSize,
                     block.data() + block.size() - trailerMagic.size() - sizeof (uint64_t),
                     sizeof (uint64_t));

        const auto trailerSize = sizeof (uint64_t) + privateSize + sizeof (uint64_t) + trailerMagic.size();

        if (trailerSize > block.size())
            return std::nullopt;

        const auto processorSize = block.size() - trailerSize;
        uint64_t leadingZero = 1;
        std::memcpy (&leadingZero, block.data() + processorSize, sizeof (uint64_t));

        if (leadingZero != 0)
            return std::nullopt;

        return std::vector<char> (block.begin(), block.begin() + (long) processorSize);
    }

    bool contains (const std::vector<char>& bytes, const std::string& text)
    {
        return std::search (bytes.begin(), bytes.end(), text.begin(), text.end()) != bytes.end();
    }

    struct Setting
    {
        Vst::ParamID id;
        double normalised;
    };

    // Away from every default, so that a restore that does nothing fails.
    const std::vector<Setting> savedSettings {
        { freqID, 0.7 }, { mixID, 0.25 }, { outputID, 0.2 }, { bypassID, 1.0 }, { hostBypassID, 0.0 },
    };

    /** A state saved after the settings reached the processor through a processed block. */
    std::vector<char> saveStateWith (const std::vector<Setting>& settings)
    {
        auto instance = makeInstance();

        if (instance == nullptr || ! instance->startProcessing (sampleRate, blockSize))
            return {};

        std::vector<ParamChange> changes;

        for (const auto& s : settings)
            changes.push_back ({ s.id, s.normalised });

        Channels output;
        instance->process (makeSine (2, blockSize, 0, 440.0, 0.5f), output, changes);
        instance->stopProcessing();
        return instance->getComponentState();
    }

    void expectSettings (PluginInstance& instance, const std::vector<Setting>& settings)
    {
        for (const auto& s : settings)
            EXPECT_NEAR (instance.getController().getParamNormalized (s.id), s.normalised, 1.0e-4)
                << "parameter " << s.id;
    }

    TEST (State, IsTheParameterTreeFollowedByTheWrapperTrailer)
    {
        auto instance = makeInstance();
        ASSERT_NE (instance, nullptr);

        const auto block = instance->getComponentState();
        ASSERT_TRUE (endsWithMagic (block));

        const auto processorBytes = stripTrailer (block);
        ASSERT_TRUE (processorBytes.has_value()) << "the trailer's layout is not JUCE's";
        ASSERT_GT (processorBytes->size(), 11u);

        const std::string rootType = "PARAMETERS";
        EXPECT_TRUE (std::equal (rootType.begin(), rootType.end(), processorBytes->begin()));
        EXPECT_EQ ((*processorBytes)[rootType.size()], '\0');

        for (const auto* id : { "freq", "mix", "output", "bypass" })
            EXPECT_TRUE (contains (*processorBytes, id)) << id;

        const std::vector<char> trailer (block.begin() + (long) processorBytes->size(), block.end());
        EXPECT_TRUE (contains (trailer, "Bypass"));
    }

    TEST (State, RestoresEveryParameterInANewInstance)
    {
        auto settings = savedSettings;
        settings.back().normalised = 1.0; // the host bypass travels in the trailer
        const auto saved = saveStateWith (settings);
        ASSERT_FALSE (saved.empty());

        auto restored = makeInstance();
        ASSERT_NE (restored, nullptr);
        ASSERT_EQ (restored->setComponentState (saved), kResultOk);
        expectSettings (*restored, settings);
    }

    struct RestoreCase
    {
        const char* name;
        bool keepTrailer;
        double hostBypassAfter;
    };

    void PrintTo (const RestoreCase& c, std::ostream* os)
    {
        *os << c.name;
    }

    class StateBlocks : public ::testing::TestWithParam<RestoreCase>
    {
    };

    // The instance has its host bypass on; the saved block was taken with it off.
    TEST_P (StateBlocks, RestoreParametersAndTakeTheHostBypassOnlyFromTheTrailer)
    {
        const auto saved = saveStateWith (savedSettings);
        ASSERT_FALSE (saved.empty());
        const auto processorOnly = stripTrailer (saved);
        ASSERT_TRUE (processorOnly.has_value());

        auto instance = makeInstance();
        ASSERT_NE (instance, nullptr);
        ASSERT_TRUE (instance->startProcessing (sampleRate, blockSize));
        Channels output;
        instance->process (makeSine (2, blockSize, 0, 440.0, 0.5f), output, { { hostBypassID, 1.0 } });
        instance->stopProcessing();

        ASSERT_EQ (instance->setComponentState (GetParam().keepTrailer ? saved : *processorOnly), kResultOk);

        auto expected = savedSettings;
        expected.back().normalised = GetParam().hostBypassAfter;
        expectSettings (*instance, expected);
    }

    INSTANTIATE_TEST_SUITE_P (Bundle,
                              StateBlocks,
                              ::testing::Values (RestoreCase { "WholeBlock", true, 0.0 },
                                                 RestoreCase { "ProcessorBytesOnly", false, 1.0 }),
                              [] (const auto& info) { return std::string (info.param.name); });
} // namespace
} // namespace kelto::vst3::test
