#include "plugin/PluginProcessor.h"
#include "plugin/StateBlock.h"

#include <gtest/gtest.h>

#include <limits>

namespace
{
juce::MemoryBlock save (RingProcessor& p)
{
    juce::MemoryBlock block;
    p.getStateInformation (block);
    return block;
}

juce::MemoryBlock toBlock (const juce::ValueTree& tree)
{
    juce::MemoryBlock block;
    juce::MemoryOutputStream out (block, false);
    tree.writeToStream (out);
    out.flush();
    return block;
}

void load (RingProcessor& p, const juce::MemoryBlock& block)
{
    p.setStateInformation (block.getData(), (int) block.getSize());
}

juce::ValueTree param (const juce::String& id, const juce::var& value)
{
    juce::ValueTree child ("PARAM");
    child.setProperty ("id", id, nullptr);
    if (! value.isVoid())
        child.setProperty ("value", value, nullptr);
    return child;
}

float value (RingProcessor& p, const char* id)
{
    return p.apvts.getRawParameterValue (id)->load();
}

void set (RingProcessor& p, const char* id, float v)
{
    auto* param = p.apvts.getParameter (id);
    param->setValueNotifyingHost (param->convertTo0to1 (v));
}

struct Values
{
    float freq, mix, output, bypass;
    bool operator== (const Values& o) const
    {
        return freq == o.freq && mix == o.mix && output == o.output && bypass == o.bypass;
    }
};

Values values (RingProcessor& p)
{
    return { value (p, "freq"), value (p, "mix"), value (p, "output"), value (p, "bypass") };
}

std::ostream& operator<< (std::ostream& os, const Values& v)
{
    return os << "{" << v.freq << ", " << v.mix << ", " << v.output << ", " << v.bypass << "}";
}

const Values defaults { 220.0f, 100.0f, 0.0f, 0.0f };
const Values changed { 1500.0f, 60.0f, -3.0f, 1.0f };

void setAll (RingProcessor& p, const Values& v)
{
    set (p, "freq", v.freq);
    set (p, "mix", v.mix);
    set (p, "output", v.output);
    set (p, "bypass", v.bypass);
}
} // namespace

TEST (State, FreshStateHoldsTheFourParametersInIdOrder)
{
    RingProcessor processor;
    const auto block = save (processor);
    const auto tree = juce::ValueTree::readFromData (block.getData(), block.getSize());

    ASSERT_TRUE (tree.hasType ("PARAMETERS"));
    EXPECT_EQ (tree.getNumProperties(), 0);
    ASSERT_EQ (tree.getNumChildren(), 4);

    const std::pair<const char*, double> expected[] = {
        { "bypass", 0 }, { "freq", 220 }, { "mix", 100 }, { "output", 0 }
    };
    for (int i = 0; i < 4; ++i)
    {
        const auto child = tree.getChild (i);
        EXPECT_TRUE (child.hasType ("PARAM"));
        EXPECT_EQ (child.getPropertyName (0).toString(), "id");
        EXPECT_EQ (child.getPropertyName (1).toString(), "value");
        EXPECT_EQ (child["id"].toString(), expected[i].first);
        EXPECT_TRUE (child["value"].isDouble());
        // The framework keeps the default through its normalised position, so to float precision.
        EXPECT_FLOAT_EQ ((float) (double) child["value"], (float) expected[i].second);
    }
}

TEST (State, RoundTripRestoresAllFourIncludingBypass)
{
    RingProcessor processor;
    setAll (processor, changed);
    const auto block = save (processor);

    setAll (processor, { 4.0f, 0.0f, 12.0f, 0.0f });
    load (processor, block);
    EXPECT_EQ (values (processor), changed);

    RingProcessor another;
    load (another, block);
    EXPECT_EQ (values (another), changed);
}

TEST (State, SavingReplacesWhateverTheBlockHeld)
{
    RingProcessor processor;
    const auto expected = save (processor);

    juce::MemoryBlock block (10000);
    block.fillWith (0xab);
    processor.getStateInformation (block);
    EXPECT_EQ (block, expected);
}

TEST (State, MissingChildrenAndValuesGoToDefaults)
{
    struct Case
    {
        const char* what;
        juce::ValueTree tree;
        Values expected;
    };

    auto tree = [] (std::initializer_list<juce::ValueTree> children)
    {
        juce::ValueTree t ("PARAMETERS");
        for (auto& c : children)
            t.appendChild (c, nullptr);
        return t;
    };

    const Case cases[] = {
        { "no mix child",
          tree ({ param ("bypass", 1.0), param ("freq", 90.0), param ("output", 1.0) }),
          { 90.0f, 100.0f, 1.0f, 1.0f } },
        { "freq without value",
          tree ({ param ("bypass", 0.0), param ("freq", {}), param ("mix", 50.0), param ("output", -6.0) }),
          { 220.0f, 50.0f, -6.0f, 0.0f } },
        { "values outside the ranges",
          tree (
              { param ("freq", 9000.0), param ("mix", -5.0), param ("output", 99.0), param ("bypass", 7.0) }),
          { 5000.0f, 0.0f, 12.0f, 1.0f } },
        { "no children", tree ({}), defaults },
        { "numbers as text",
          tree ({ param ("freq", "700"), param ("mix", " 70.5 ") }),
          { 700.0f, 70.5f, 0.0f, 0.0f } },
        { "integer values",
          tree ({ param ("freq", 45), param ("mix", (juce::int64) 90) }),
          { 45.0f, 90.0f, 0.0f, 0.0f } },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        RingProcessor processor;
        setAll (processor, changed);
        load (processor, toBlock (c.tree));
        EXPECT_EQ (values (processor), c.expected);
    }
}

TEST (State, MissingChildIsAddedLastAndForeignContentIsKept)
{
    juce::ValueTree tree ("PARAMETERS");
    tree.setProperty ("savedBy", "a later version", nullptr);
    tree.appendChild (param ("output", -2.0), nullptr);
    tree.appendChild (param ("freq", 700.0), nullptr);
    tree.appendChild (param ("bypass", 0.0), nullptr);
    tree.appendChild (param ("future", 3.0), nullptr);

    RingProcessor processor;
    set (processor, "mix", 50.0f);
    load (processor, toBlock (tree));
    EXPECT_EQ (value (processor, "mix"), 100.0f);
    const auto block = save (processor);
    const auto saved = juce::ValueTree::readFromData (block.getData(), block.getSize());

    ASSERT_EQ (saved.getNumChildren(), 5);
    const char* order[] = { "output", "freq", "bypass", "future", "mix" };
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ (saved.getChild (i)["id"].toString(), order[i]);
    EXPECT_EQ ((double) saved.getChild (4)["value"], 100.0);
    EXPECT_EQ (saved["savedBy"].toString(), "a later version");
}

TEST (State, UnusableBlocksChangeNothing)
{
    juce::ValueTree foreign ("OTHER_PLUGIN");
    foreign.appendChild (param ("freq", 90.0), nullptr);

    juce::ValueTree emptyType ("PARAMETERS");
    auto emptyTypeBlock = toBlock (emptyType);
    static_cast<char*> (emptyTypeBlock.getData())[0] = 0; // root type ""

    const std::pair<const char*, juce::MemoryBlock> cases[] = {
        { "another plug-in's state", toBlock (foreign) },
        { "empty root type", emptyTypeBlock },
        { "text, not a tree", juce::MemoryBlock ("<?xml version=\"1.0\"?>", 21) },
        { "one zero byte", juce::MemoryBlock (1, true) },
    };

    for (const auto& [what, block] : cases)
    {
        SCOPED_TRACE (what);
        RingProcessor processor;
        setAll (processor, changed);
        const auto before = save (processor);

        load (processor, block);
        EXPECT_EQ (values (processor), changed);
        EXPECT_EQ (save (processor), before);
    }

    RingProcessor processor;
    setAll (processor, changed);
    const auto good = save (processor);
    setAll (processor, defaults);
    processor.setStateInformation (nullptr, 100);
    processor.setStateInformation (good.getData(), 0);
    processor.setStateInformation (good.getData(), -5);
    EXPECT_EQ (values (processor), defaults);
}

TEST (State, NonFiniteOrNonNumericValuesCountAsMissing)
{
    const auto nan = std::numeric_limits<double>::quiet_NaN();
    const auto inf = std::numeric_limits<double>::infinity();
    const std::pair<const char*, juce::var> bad[] = {
        { "NaN", nan },
        { "infinity", inf },
        { "minus infinity", -inf },
        { "text", "abc" },
        { "empty text", "" },
        { "number with a unit", "12 Hz" },
        { "NaN as text", "nan" },
        { "infinity as text", "inf" },
        { "no digit", "e" },
        { "signs only", "+-" },
        { "an array", juce::Array<juce::var> { 1, 2 } },
    };

    for (const auto& [what, v] : bad)
    {
        SCOPED_TRACE (what);
        juce::ValueTree tree ("PARAMETERS");
        for (auto* id : { "freq", "mix", "output", "bypass" })
            tree.appendChild (param (id, v), nullptr);

        RingProcessor processor;
        setAll (processor, changed);
        load (processor, toBlock (tree));
        EXPECT_EQ (values (processor), defaults);

        juce::MemoryBlock out;
        processor.getStateInformation (out);
        const auto saved = juce::ValueTree::readFromData (out.getData(), out.getSize());
        for (const auto& child : saved)
            EXPECT_TRUE (std::isfinite ((double) child["value"]));
    }
}

TEST (State, LoadingLeavesTheProgramIndexAlone)
{
    RingProcessor processor;
    const auto block = save (processor);
    processor.setCurrentProgram (4);
    load (processor, block);
    EXPECT_EQ (processor.getCurrentProgram(), 4);
    EXPECT_EQ (values (processor), defaults);
}

TEST (State, EveryTruncationOfAStateIsHandled)
{
    RingProcessor source;
    setAll (source, changed);
    const auto block = save (source);

    // A cut block never crashes; the parameters it still holds whole are applied.
    for (size_t size = 0; size < block.getSize(); ++size)
    {
        RingProcessor processor;
        processor.setStateInformation (block.getData(), (int) size);
        const auto v = values (processor);
        EXPECT_TRUE (std::isfinite (v.freq) && std::isfinite (v.mix) && std::isfinite (v.output)) << size;
    }
}

namespace
{
// Bytes in the value-tree stream form, written by hand to say what an honest writer never would.
struct Bytes
{
    juce::MemoryOutputStream out;

    Bytes& text (const char* s)
    {
        out.writeString (s);
        return *this;
    }
    Bytes& count (int n)
    {
        out.writeCompressedInt (n);
        return *this;
    }
    Bytes& raw (std::initializer_list<int> bytes)
    {
        for (auto b : bytes)
            out.writeByte ((char) b);
        return *this;
    }
    juce::MemoryBlock block() { return out.getMemoryBlock(); }
};

juce::MemoryBlock nested (int depth)
{
    Bytes b;
    for (int i = 0; i < depth; ++i)
        b.text ("PARAMETERS").count (0).count (1);
    b.text ("PARAM").count (0).count (0);
    return b.block();
}
} // namespace

TEST (State, DeclaredSizesBeyondTheBlockAreRefused)
{
    const std::pair<const char*, juce::MemoryBlock> cases[] = {
        { "two billion children", Bytes().text ("PARAMETERS").count (0).count (0x7fffffff).block() },
        { "two billion properties", Bytes().text ("PARAMETERS").count (0x7fffffff).block() },
        { "negative children", Bytes().text ("PARAMETERS").count (0).count (-1).block() },
        { "most negative count",
          Bytes().text ("PARAMETERS").count (0).raw ({ 0x84, 0, 0, 0, 0x80 }).block() },
        { "oversized count header",
          Bytes().text ("PARAMETERS").count (0).raw ({ 0x7f, 1, 2, 3, 4, 5 }).block() },
        { "huge binary value",
          Bytes()
              .text ("PARAMETERS")
              .count (1)
              .text ("blob")
              .count (0x7fffff00)
              .raw ({ 8 })
              .count (0)
              .block() },
        { "huge array",
          Bytes()
              .text ("PARAMETERS")
              .count (1)
              .text ("list")
              .count (6)
              .raw ({ 7 })
              .count (0x7fffffff)
              .block() },
        { "string longer than the block",
          Bytes().text ("PARAMETERS").count (1).text ("name").count (100000).raw ({ 5, 'x' }).block() },
        { "empty binary value",
          Bytes().text ("PARAMETERS").count (1).text ("blob").count (1).raw ({ 8 }).count (0).block() },
        { "malformed UTF-8 in the root type",
          Bytes().raw ({ 'P', 0xf1, 0xf1, 0 }).count (0).count (0).block() },
        { "truncated UTF-8 in a property name",
          Bytes()
              .text ("PARAMETERS")
              .count (1)
              .raw ({ 'n', 0xe2, 0x82, 0 })
              .count (1)
              .raw ({ 3 })
              .count (0)
              .block() },
        { "malformed UTF-8 in a text value",
          Bytes()
              .text ("PARAMETERS")
              .count (1)
              .text ("name")
              .count (4)
              .raw ({ 5, 0xc3, 'x', 0 })
              .count (0)
              .block() },
        { "nesting deeper than any state", nested (StateBlock::maxDepth + 1) },
        { "nesting to overflow the stack", nested (200000) },
    };

    for (const auto& [what, block] : cases)
    {
        SCOPED_TRACE (what);
        EXPECT_FALSE (StateBlock::isSafeToRead (block.getData(), block.getSize()));

        RingProcessor processor;
        setAll (processor, changed);
        load (processor, block);
        EXPECT_EQ (values (processor), changed);
    }

    EXPECT_FALSE (StateBlock::isSafeToRead (nullptr, 10));
}

TEST (State, HonestBlocksPassTheGuard)
{
    RingProcessor processor;
    setAll (processor, changed);
    const auto fresh = save (processor);

    juce::ValueTree rich ("PARAMETERS");
    rich.setProperty ("blob", juce::var (juce::MemoryBlock ("abc", 3)), nullptr);
    rich.setProperty (
        "list", juce::Array<juce::var> { 1, "two", 3.0, juce::Array<juce::var> { true, false } }, nullptr);
    rich.setProperty ("big", (juce::int64) 1 << 40, nullptr);
    rich.setProperty ("undefined", juce::var::undefined(), nullptr);
    const char utf8[] = { 'G', '\xc3', '\xbc', ' ',    '\xe2', '\x86', '\x92',
                          ' ', '\xf0', '\x9f', '\x8e', '\xb5', 0 };
    rich.setProperty ("text", juce::String::fromUTF8 (utf8), nullptr);
    rich.appendChild (param ("freq", 90.0), nullptr);
    auto inner = juce::ValueTree ("GROUP");
    inner.appendChild (juce::ValueTree ("LEAF"), nullptr);
    rich.appendChild (inner, nullptr);
    const auto richBlock = toBlock (rich);
    const auto deepest = nested (StateBlock::maxDepth - 1);

    for (const auto* block : { &fresh, &richBlock, &deepest })
        EXPECT_TRUE (StateBlock::isSafeToRead (block->getData(), block->getSize()));

    RingProcessor other;
    load (other, richBlock);
    EXPECT_EQ (value (other, "freq"), 90.0f);
}

TEST (State, KeptFuzzFindingsAndSeedsLoadSafely)
{
    // Each file is a block the fuzzer once broke the loader with, or one it starts from.
    juce::Array<juce::File> files;
    for (auto* dir : { KELTO_FUZZ_REGRESSIONS_DIR, KELTO_FUZZ_SEEDS_DIR })
        files.addArray (juce::File (dir).findChildFiles (juce::File::findFiles, false, "*.state"));
    ASSERT_FALSE (files.isEmpty());

    for (const auto& file : files)
    {
        SCOPED_TRACE (file.getFileName());
        juce::MemoryBlock block;
        ASSERT_TRUE (file.loadFileAsData (block));

        RingProcessor processor;
        load (processor, block);
        for (auto* id : { "freq", "mix", "output", "bypass" })
        {
            const auto& range = processor.apvts.getParameterRange (id);
            const auto v = value (processor, id);
            EXPECT_TRUE (std::isfinite (v) && v >= range.start && v <= range.end) << id << " = " << v;
        }
        EXPECT_FALSE (save (processor).isEmpty());
    }
}

TEST (State, IdsThatAreNotTextNameNoParameter)
{
    juce::ValueTree tree ("PARAMETERS");
    tree.appendChild (param ("freq", 90.0), nullptr);
    auto odd = param ("mix", 50.0);
    odd.setProperty ("id", std::numeric_limits<double>::quiet_NaN(), nullptr);
    tree.appendChild (odd, nullptr);

    RingProcessor processor;
    setAll (processor, changed);
    load (processor, toBlock (tree));
    EXPECT_EQ (values (processor), (Values { 90.0f, 100.0f, 0.0f, 0.0f }));
}
