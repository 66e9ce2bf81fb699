#include "BundleTestSupport.h"

#include "pluginterfaces/base/iplugincompatibility.h"

#include <fstream>
#include <sstream>

namespace kelto::vst3::test
{
namespace
{
    using namespace Steinberg;

    const VST3::Hosting::PluginFactory* getFactory()
    {
        auto& bundle = Bundle::get();
        return bundle.module != nullptr ? &bundle.module->getFactory() : nullptr;
    }

    TEST (Identity, FactoryNamesTheVendorAndSpeaksUnicode)
    {
        const auto* factory = getFactory();
        ASSERT_NE (factory, nullptr) << Bundle::get().error;
        const auto info = factory->info();

        EXPECT_EQ (info.vendor(), "KELTO Audio");
        EXPECT_EQ (info.url(), "");
        EXPECT_EQ (info.email(), "");
        EXPECT_NE (info.flags() & PFactoryInfo::kUnicode, 0);
    }

    struct ExpectedClass
    {
        const char* category;
        const char* classID;
        std::vector<std::string> subCategories;
    };

    TEST (Identity, FactoryListsComponentControllerAndCompatibilityClassesInOrder)
    {
        const auto* factory = getFactory();
        ASSERT_NE (factory, nullptr) << Bundle::get().error;

        const std::vector<ExpectedClass> expected {
            { "Audio Module Class", "ABCDEF019182FAEB4B656C744B726E67", { "Fx" } },
            { "Component Controller Class", "ABCDEF011234ABCD4B656C744B726E67", { "Fx" } },
            { "Plugin Compatibility Class", "ABCDEF01C0DEF00D4B656C744B726E67", {} },
        };

        const auto classes = factory->classInfos();
        ASSERT_EQ (classes.size(), expected.size());

        for (size_t i = 0; i < expected.size(); ++i)
        {
            SCOPED_TRACE (expected[i].category);
            const auto& c = classes[i];

            EXPECT_EQ (c.category(), expected[i].category);
            EXPECT_EQ (c.ID(), uidFromText (expected[i].classID)) << c.ID().toString();
            EXPECT_EQ (c.name(), "KELTO ZAVI");
            EXPECT_EQ (c.vendor(), "KELTO Audio");
            EXPECT_EQ (c.version(), "0.1.0");
            EXPECT_EQ (c.sdkVersion(), "VST 3.7.12");
            EXPECT_EQ (c.subCategories(), expected[i].subCategories) << c.subCategoriesString();
            EXPECT_EQ (c.classFlags(), 0u);
            EXPECT_EQ (c.cardinality(), PClassInfo::kManyInstances);
        }
    }

    TEST (Identity, ComponentNamesTheControllerClass)
    {
        auto instance = makeInstance();
        ASSERT_NE (instance, nullptr);

        TUID id {};
        ASSERT_EQ (instance->getComponent().getControllerClassId (id), kResultOk);
        EXPECT_EQ (VST3::UID::fromTUID (id), controllerClassID);
    }

    TEST (Identity, CompatibilityClassDeclaresNoReplacedClasses)
    {
        const auto* factory = getFactory();
        ASSERT_NE (factory, nullptr) << Bundle::get().error;

        auto compatibility = factory->createInstance<IPluginCompatibility> (compatibilityClassID);
        ASSERT_NE (compatibility, nullptr);

        auto stream = makeStream();
        ASSERT_EQ (compatibility->getCompatibilityJSON (stream), kResultTrue);

        const auto bytes = getStreamBytes (*stream);
        EXPECT_EQ (std::string (bytes.begin(), bytes.end()), "[]");
    }

    TEST (Identity, ModuleInfoBesideTheBinaryNamesTheSameClasses)
    {
        const auto path = VST3::Hosting::Module::getModuleInfoPath (bundlePath);
        ASSERT_TRUE (path) << "no Contents/Resources/moduleinfo.json in " << bundlePath;

        std::ifstream file (*path);
        ASSERT_TRUE (file.good()) << *path;
        std::stringstream text;
        text << file.rdbuf();
        const auto json = text.str();

        for (const auto* expected : { "\"KELTO ZAVI\"",
                                      "\"KELTO Audio\"",
                                      "\"0.1.0\"",
                                      "\"Audio Module Class\"",
                                      "\"Component Controller Class\"",
                                      "\"Plugin Compatibility Class\"",
                                      "\"ABCDEF019182FAEB4B656C744B726E67\"",
                                      "\"ABCDEF011234ABCD4B656C744B726E67\"",
                                      "\"ABCDEF01C0DEF00D4B656C744B726E67\"" })
            EXPECT_NE (json.find (expected), std::string::npos) << expected << " missing from " << *path;
    }
} // namespace
} // namespace kelto::vst3::test
