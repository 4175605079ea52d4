// The chain file: save/load round trips, the exact layout, every drop rule,
// the number rule, when the file is written, and damaged files.
#include "effects/CEffectList.h"
#include "effects/CEffectManager.h"
#include "tests/core/TestUtil.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <tuple>

namespace {

const char* kDecl = "<?xml version=\"1.0\" ?>\r\n";

std::string Item(const std::string& body) {
    return "<EffectItem>" + body + "</EffectItem>";
}

std::string Doc(const std::string& items) {
    return std::string(kDecl) + "<EffectList>" + items + "</EffectList>";
}

// A valid DELAY entry with value 50 at `num`.
std::string Delay(int num, int value = 50) {
    return Item("<Num>" + std::to_string(num) +
                "</Num><Name>DELAY</Name><Type>4</Type><Enabled>1</Enabled>"
                "<Params>1</Params><ParamValue Num=\"0\" Min=\"0\" Max=\"100\">" +
                std::to_string(value) + "</ParamValue>");
}

// A value entry: `attributes` inside the tag, `text` between the tags.
std::string Value(const std::string& attributes, const std::string& text) {
    return "<ParamValue " + attributes + ">" + text + "</ParamValue>";
}

std::vector<int> Types(const CEffectList& list) {
    std::vector<int> types;
    for (int p = 0; p < list.GetCount(); ++p)
        types.push_back(list.GetItem(p)->type);
    return types;
}

void Load(CEffectList& list, const std::string& text) {
    list.LoadFromText(text.c_str(), static_cast<uint32_t>(text.size()));
}

using testutil::ReadText;

TEST(EffectList, DropRules) {
    const std::string echo = "<Type>6</Type><Enabled>1</Enabled><Params>0</Params>";
    const std::string pv = "<Type>4</Type><Enabled>1</Enabled><Params>1</Params>";
    const std::string range = "Num=\"0\" Min=\"0\" Max=\"100\"";
    // A valid DELAY at 0, then `body` as the entry at 1.
    auto second = [](const std::string& body) { return Delay(0) + Item("<Num>1</Num>" + body); };
    // What, the entries, the loaded entries' types in order.
    const std::tuple<const char*, std::string, std::vector<int>> cases[] = {
        {"valid pair", second(echo), {4, 6}},
        {"params 10", second("<Type>6</Type><Params>10</Params>"), {4}},
        {"same num twice", Delay(0) + Item("<Num>0</Num>" + echo), {4}},
        {"num 12", Delay(0) + Item("<Num>12</Num>" + echo), {4}},
        {"num -1", Delay(0) + Item("<Num>-1</Num>" + echo), {4}},
        {"no num", Delay(0) + Item(echo), {4}},
        {"empty num", Delay(0) + Item("<Num></Num>" + echo), {4}},
        {"type 21", second("<Type>21</Type>"), {4}},
        {"enabled on", second("<Type>6</Type><Enabled>on</Enabled>"), {4}},
        {"value above max", second(pv + Value(range, "150")), {4}},
        {"min equals max", second(pv + Value("Num=\"0\" Min=\"5\" Max=\"5\"", "5")), {4}},
        {"value without index", second(pv + Value("Min=\"0\" Max=\"100\"", "5")), {4}},
        {"value index 10", second(pv + Value("Num=\"10\" Min=\"0\" Max=\"100\"", "5")), {4}},
        {"value without text", second(pv + Value(range, "")), {4}},
        {"value not a number", second(pv + Value(range, "5x")), {4}},
        {"missing min counts as 0", second(pv + Value("Num=\"0\" Max=\"100\"", "5")), {4, 4}},
        {"missing max counts as 0", second(pv + Value("Num=\"0\" Min=\"-10\"", "-3")), {4, 4}},
        {"attribute keeps its leading digits",
         second(pv + Value("Num=\"0x\" Min=\"0\" Max=\"100abc\"", "99")),
         {4, 4}},
        {"out of 32 bits", second("<Type>99999999999</Type>"), {4}},
        {"a value in use without its entry",
         second("<Type>5</Type><Params>2</Params>" + Value(range, "5")),
         {4}},
        {"name is not read", Item("<Num>0</Num><Name>Bogus</Name>" + echo), {6}},
        {"unknown children ignored", Item("<Num>0</Num><Colour>red</Colour>" + echo), {6}},
        {"other elements ignored", "<Effect><Num>0</Num></Effect>" + Delay(1), {4}},
        {"gaps close up", Delay(7) + Item("<Num>3</Num>" + echo), {6, 4}},
        {"two lists are both read", Delay(0) + "</EffectList><Other/><EffectList>" + Delay(1, 20), {4, 4}},
        {"no items", "", {}},
    };
    for (const auto& [what, items, expected] : cases) {
        CEffectList list;
        Load(list, Doc(items));
        EXPECT_EQ(Types(list), expected) << what;
    }
}

TEST(EffectList, LoadedFields) {
    CEffectList list;
    Load(list, Doc(Item("<Num>0</Num><Type>7</Type><Enabled>5</Enabled><Params>2</Params>" +
                        Value("Num=\"1\" Min=\"-20\" Max=\"20\"", "-20") +
                        Value("Num=\"0\" Min=\"-20\" Max=\"20\"", "7")) +
                   Item("<Num>1</Num><Type>2</Type><Enabled>0</Enabled>") +
                   Item("<Num>2</Num><Type>3</Type><Params>1</Params>" +
                        Value("Num=\"0\" Min=\"0\" Max=\"100\"", "5") +
                        Value("Num=\"2\" Min=\"0\" Max=\"100\"", "50"))));
    ASSERT_EQ(list.GetCount(), 3);
    const EffectItem *eq = list.GetItem(0), *off = list.GetItem(1), *past = list.GetItem(2);
    EXPECT_STREQ(eq->name, L"EQUALIZER");
    // Values go by their index; one past the count in use is not kept.
    EXPECT_EQ(std::vector<int>({eq->enabled, eq->Params, eq->value[0], eq->value[1], eq->Min[1], eq->value[2],
                                off->enabled, off->Params, past->value[0], past->value[2], past->Max[2]}),
              std::vector<int>({1, 2, 7, -20, -20, 0, 0, 0, 5, 0, 0}));
}

// Blanks before the number, an optional minus, digits to the end, 32 bits;
// nothing but blanks (or a lone minus) is 0.
TEST(EffectList, NumberRule) {
    // text, accepted, value
    const std::tuple<const char*, bool, int32_t> cases[] = {{"12", true, 12},
                                                            {"  12", true, 12},
                                                            {"\t-7", true, -7},
                                                            {"-", true, 0},
                                                            {"", true, 0},
                                                            {"   ", true, 0},
                                                            {"2147483647", true, 2147483647},
                                                            {"-2147483648", true, -2147483648},
                                                            {"12a", false, 0},
                                                            {"1 2", false, 0},
                                                            {"+3", false, 0},
                                                            {"2147483648", false, 0},
                                                            {"99999999999999999999", false, 0}};
    for (auto [text, ok, value] : cases) {
        int32_t v = -999;
        EXPECT_EQ(CEffectList::ParseNumber(text, &v), ok) << text;
        EXPECT_TRUE(!ok || v == value) << text;
    }
    int32_t v = 0;
    EXPECT_TRUE(CEffectList::ParseLeadingNumber("42abc", &v) && v == 42);
    EXPECT_TRUE(CEffectList::ParseLeadingNumber("abc", &v) && v == 0);
}

// A run that never opened the chain leaves the file alone; an edited list
// writes its exact layout; a missing file is an empty list, saved truthfully;
// what is saved loads back the same.
TEST(EffectList, SaveAndLoad) {
    testutil::TempDir dir("fxsave");
    const std::string path = dir.File("sonvel.xml"), other = dir.File("none.xml");
    const std::string stored = Doc(Delay(0));
    ASSERT_TRUE(testutil::WriteText(path, stored));
    CEffectList never, edited, list, back;
    EXPECT_EQ(never.SaveEffectList(path.c_str()), 0);
    EXPECT_EQ(ReadText(path), stored);
    edited.InsertItem(-1, EFFECT_DELAY);
    EXPECT_EQ(edited.SaveEffectList(path.c_str()), 1);
    EXPECT_EQ(ReadText(path),
              std::string(kDecl) +
                  "<EffectList><EffectItem><Num>0</Num>\r\n<Name>DELAY</Name>\r\n<Type>4</Type>\r\n"
                  "<Enabled>1</Enabled>\r\n<Params>1</Params>\r\n"
                  "<ParamValue Num=\"0\" Min=\"0\" Max=\"100\" >50</ParamValue>\r\n"
                  "</EffectItem>\r\n</EffectList>\r\n");
    EXPECT_EQ(list.LoadEffectList(other.c_str()), 0);
    EXPECT_EQ(list.SaveEffectList(other.c_str()), 1);
    EXPECT_EQ(ReadText(other), std::string(kDecl) + "<EffectList/>\r\n");

    list.InsertItem(-1, EFFECT_EQUALIZER);
    for (int j = 0; j < 9; ++j)
        list.SetValue(0, j, -20 + 5 * j); // -20 .. 20
    list.InsertItem(-1, EFFECT_DELAY_ECHO);
    list.SetEnabled(1, 0);
    for (int type : {EFFECT_COMPRESSOR, EFFECT_WAU, EFFECT_REVERB})
        list.InsertItem(-1, type);
    ASSERT_EQ(list.SaveEffectList(other.c_str()), 1);
    EXPECT_FALSE(plat::PathExists((other + ".tmp").c_str()));
    EXPECT_EQ(ReadText(other), list.BuildDocument());
    ASSERT_EQ(back.LoadEffectList(other.c_str()), 1);
    // What was loaded gives the same bytes again: every type, value, range and switch.
    EXPECT_EQ(back.BuildDocument(), list.BuildDocument());
    EXPECT_EQ(std::vector<int>({back.GetCount(), back.GetItem(0)->value[0], back.GetItem(0)->value[8],
                                back.GetItem(1)->enabled}),
              std::vector<int>({5, -20, 20, 0}));
}

TEST(EffectList, FailedWriteKeepsTheOldFileAndDroppedEntriesAreKeptAside) {
    testutil::TempDir dir("fxfail");
    // The target is a folder: nothing can replace it, and no temporary file stays.
    const std::string folder = dir.File("folder.xml");
    ASSERT_TRUE(plat::MakeDirectories(folder.c_str()));
    CEffectList list;
    list.InsertItem(-1, EFFECT_DELAY);
    EXPECT_EQ(list.SaveEffectList(folder.c_str()), 0);
    EXPECT_TRUE(plat::IsDirectory(folder.c_str()));
    EXPECT_FALSE(plat::PathExists((folder + ".tmp").c_str()));
    // A folder that does not exist: the temporary cannot even be made.
    EXPECT_EQ(list.SaveEffectList(dir.File("no/such/sonvel.xml").c_str()), 0);

    const std::string path = dir.File("sonvel.xml");
    const std::string stored = Doc(Delay(0) + Item("<Num>1</Num><Type>99</Type>"));
    ASSERT_TRUE(testutil::WriteText(path, stored));
    CEffectList loaded;
    ASSERT_EQ(loaded.LoadEffectList(path.c_str()), 1);
    EXPECT_EQ(loaded.GetCount(), 1);
    EXPECT_TRUE(loaded.HadDroppedEntries());
    ASSERT_EQ(loaded.SaveEffectList(path.c_str()), 1);
    EXPECT_EQ(ReadText(path + ".bak"), stored);
}

TEST(EffectList, DamagedFiles) {
    const std::string good = Doc(Delay(0) + Delay(1, 10) + Delay(2, 20));
    // Every truncation loads a prefix of the valid entries, never more, never a crash.
    for (size_t cut = 0; cut <= good.size(); ++cut) {
        CEffectList list;
        Load(list, good.substr(0, cut));
        ASSERT_TRUE(list.GetCount() <= 3 && (cut < good.size() || list.GetCount() == 3)) << cut;
        for (int p = 0; p < list.GetCount(); ++p)
            ASSERT_EQ(list.GetItem(p)->value[0], p * 10 + (p == 0) * 50) << "cut at " << cut;
    }
    // An end tag with a blank before its ">" is still an end tag.
    std::string spaced = good;
    for (size_t at; (at = spaced.find("</EffectItem>")) != std::string::npos;)
        spaced.replace(at, 13, "</EffectItem >");
    CEffectList blanks;
    Load(blanks, spaced);
    EXPECT_EQ(blanks.GetCount(), 3);

    std::string binary;
    for (int i = 0; i < 4096; ++i)
        binary.push_back(static_cast<char>((i * 7919) & 0xFF));
    std::string nested = std::string(kDecl) + "<EffectList>";
    for (int i = 0; i < 100000; ++i)
        nested += "<EffectItem>";
    std::string ranges =
        Doc(Item("<Num>0</Num><Type>4</Type><Params>1</Params>"
                 "<ParamValue Num=\"0\" Min=\"-2147483648\" Max=\"2147483647\">2000000000</ParamValue>") +
            Delay(1));
    for (const std::string& text :
         {binary, nested, std::string(kDecl), std::string("<EffectList/>"), ranges}) {
        CEffectList list;
        Load(list, text);
        EXPECT_LE(list.GetCount(), 2);
    }
    // The out-of-range delay loads, as its range allows it (the delay limits it
    // to its line: see the effect type tests).
    CEffectList list;
    Load(list, ranges);
    ASSERT_EQ(list.GetCount(), 2);
    EXPECT_EQ(list.GetItem(0)->value[0], 2000000000);
}

TEST(EffectList, EditingAndApplying) {
    CEffectList list;
    EXPECT_TRUE(list.InsertItem(-1, EFFECT_CHORUS) && list.InsertItem(0, EFFECT_DELAY) &&
                list.InsertItem(1, EFFECT_ECHO) && list.InsertItem(7, EFFECT_WAU));
    EXPECT_EQ(list.InsertItem(0, 21), nullptr);
    EXPECT_EQ(Types(list), (std::vector<int>{EFFECT_DELAY, EFFECT_ECHO, EFFECT_CHORUS, EFFECT_WAU}));
    list.MoveItem(2, 0); // CHORUS DELAY ECHO WAU
    list.SetEnabled(1, 0);
    list.SetEnabled(2, 7);
    CEffectManager m;
    list.ApplyTo(m, 48000);
    for (int p = 0; p < 4; ++p) {
        EXPECT_EQ(m.GetEffectType(p), list.GetItem(p)->type) << p;
        EXPECT_EQ(m.GetEffectEnable(p), p == 1 ? 0 : 1) << p;
        EXPECT_EQ(list.GetItem(p)->enabled, p == 1 ? 0 : 1) << p;
    }
    EXPECT_EQ(Types(list), (std::vector<int>{EFFECT_CHORUS, EFFECT_DELAY, EFFECT_ECHO, EFFECT_WAU}));
    list.RemoveItem(0);
    list.MoveItem(0, 2); // forward: ECHO WAU DELAY
    EXPECT_EQ(Types(list), (std::vector<int>{EFFECT_ECHO, EFFECT_WAU, EFFECT_DELAY}));
    for (int i = 0; i < 20; ++i)
        list.InsertItem(-1, EFFECT_THROUGH);
    EXPECT_EQ(list.GetCount(), 10);
}

} // namespace
