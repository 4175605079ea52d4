// CXml: what each well-formed and malformed input reads as, what the writer
// writes byte for byte, that reading and writing agree, and who owns the
// pieces of a tree: parsed nodes and strings live in their document's blocks,
// created ones and strings put in by a caller are allocations of their own.
// Every mix must write the right bytes and go exactly once, without a leak
// (the sanitizer build checks that part).
#include "settings/CXml.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>

namespace {

const char kDecl[] = "<?xml version=\"1.0\"?>";
const char kPlainDecl[] = "<?xml version=\"1.0\" ?>\r\n";

std::string Write(CXml& xml, const XmlNode* node) {
    char* text = xml.Serialize(node);
    std::string out = text ? text : "<no buffer>";
    CXml::FreeBuffer(text);
    return out;
}

XmlNode* Parse(CXml& xml, const std::string& doc) {
    return xml.Parse(doc.data(), static_cast<uint32_t>(doc.size()));
}

// Parses `doc` and writes it back; "null" when nothing parses. A read that
// failed keeps no document; freeing the tree gives its document back.
std::string Reparse(const std::string& doc, int* damaged = nullptr) {
    CXml xml;
    XmlNode* root = Parse(xml, doc);
    if (damaged) *damaged = xml.IsDamaged();
    EXPECT_EQ(xml.GetDocumentCount(), root ? 1 : 0);
    std::string out = root ? Write(xml, root) : "null";
    xml.FreeNodes(root);
    EXPECT_EQ(xml.GetDocumentCount(), 0);
    return out;
}

struct ParseCase {
    const char* name;
    const char* body;     // after the declaration
    const char* expected; // what the writer gives back after the declaration line, or "null"
    int damaged;
};

const ParseCase kParseCases[] = {
    {"quotes_and_folding", "<a x='1' y=\"2\">  some   text  </a>", "<a x=\"1\" y=\"2\" >some text</a>\r\n",
     0},
    {"entities_in_text", "<a>&lt;b&gt; &amp; &x;</a>", "<a>&lt;b&gt; &amp; &amp;x;</a>\r\n", 0},
    {"entities_in_value", "<a v=\"&quot;q&apos; &gt;\"/>", "<a v=\"&quot;q&apos; &gt;\" />\r\n", 0},
    {"whitespace_kinds", "<a>\r\n\tone\t\ttwo\n</a>", "<a>one two</a>\r\n", 0},
    {"blank_text_is_no_text", "<a>  \r\n </a>", "<a/>\r\n", 0},
    {"spaces_around_equals", "<a x = 'v' />", "<a x=\"v\" />\r\n", 0},
    {"value_runs_into_next_name", "<a b=\"1\"c=\"2\"/>", "<a b=\"1\" c=\"2\" />\r\n", 0},
    {"single_space_value", "<r><a x=\" \"/><b/></r>", "<r><a x=\" \" />\r\n<b/>\r\n</r>\r\n", 0},
    {"empty_value_stops_reading", "<r><p/><a x=\"\"/><b/></r>", "<r><p/>\r\n</r>\r\n", 1},
    {"comments_skipped", "<!-- c --><r><!-- a --><p/>  <!-- b --><q/></r><!-- end -->",
     "<r><p/>\r\n<q/>\r\n</r>\r\n", 0},
    {"comment_then_text", "<a><!-- c -->text</a>", "<a>text</a>\r\n", 0},
    {"comment_before_end_tag", "<r><p>t<!-- x --></p><q/></r>", "<r><p/>\r\n</r>\r\n", 1},
    {"wrong_end_tag_nested", "<r><p/><a><b/></c><q/></r>", "<r><p/>\r\n</r>\r\n", 1},
    {"wrong_end_tag_first", "<a><b/></c>", "null", 1},
    {"longer_end_tag", "<r><p/><a>x</ab></r>", "<r><p/>\r\n</r>\r\n", 1},
    {"end_tag_with_blanks", "<a>x</a  >", "<a>x</a>\r\n", 0},
    {"truncated", "<r><p>x</p><q>y", "<r><p>x</p>\r\n<q/>\r\n</r>\r\n", 1},
    {"greater_than_in_text", "<r><p>a>b</p><q/></r>", "<r><p/>\r\n</r>\r\n", 1},
    {"less_than_in_value", "<r><p/><a v=\"1<2\"/><q/></r>", "<r><p/>\r\n</r>\r\n", 1},
    {"bad_byte_after_name", "<r><a\"x/><q/></r>", "<r/>\r\n", 1},
    {"siblings_at_top", "<a/>\r\n<b>1</b>\r\n", "<a/>\r\n<b>1</b>\r\n", 0},
    {"junk_after_last_element", "<a/>junk", "<a/>\r\n", 1},
    {"unterminated_comment", "<!-- x <a/>", "null", 1},
    {"later_text_replaces", "<a>t1<b/>t2</a>", "<a>t2<b/>\r\n</a>\r\n", 0},
    {"nul_in_text", "<r><p>a\0b</p></r>", "<r><p/>\r\n</r>\r\n", 1},
    {"no_element", "   ", "null", 1},
    // German, Cyrillic, Chinese, an emoji outside the BMP, in names, values and text.
    {"outside_any_ansi_code_page",
     "<\xE9\x8C\xB2 k=\"Gr\xC3\xBC\xC3\x9F\x65 \xF0\x9F\x98\x80\">\xD0\x9F\xD1\x80 "
     "\xE4\xB8\xAD\xF0\x9F\x8E\xA4</\xE9\x8C\xB2>",
     "<\xE9\x8C\xB2 k=\"Gr\xC3\xBC\xC3\x9F\x65 \xF0\x9F\x98\x80\" >\xD0\x9F\xD1\x80 "
     "\xE4\xB8\xAD\xF0\x9F\x8E\xA4</\xE9\x8C\xB2>\r\n",
     0},
};

TEST(Xml, ParseTableReadsAsTheRulesSay) {
    for (const ParseCase& c : kParseCases) {
        SCOPED_TRACE(c.name);
        std::string body = c.body;
        if (std::strcmp(c.name, "nul_in_text") == 0) body = std::string("<r><p>a\0b</p></r>", 17);
        int damaged = -1;
        std::string expected =
            std::strcmp(c.expected, "null") == 0 ? "null" : kPlainDecl + std::string(c.expected);
        const std::string out = Reparse(kDecl + body, &damaged);
        EXPECT_EQ(out, expected);
        EXPECT_EQ(damaged, c.damaged);
        if (out != "null") {
            EXPECT_EQ(Reparse(out), out); // what was written reads back the same
        }
    }
}

TEST(Xml, DeclarationIsRequired) {
    const char* const docs[] = {
        "<a/>",                            // no declaration at all
        "<?xml?><a/>",                     // no whitespace after <?xml
        "<?xml version='1.0'",             // ends inside the declaration
        "<?xml version=1.0 ?><a/>",        // unquoted value
        "<?xml version=\"\" ?><a/>",       // empty value stops the declaration
        "<?xml version=\"1.0\"?>",         // no first element
        "<?xml version=\"1.0\"?>text<a/>", // the first element does not parse
        "",
    };
    for (const char* doc : docs)
        EXPECT_EQ(Reparse(doc), "null") << doc;
    CXml xml;
    EXPECT_EQ(xml.Parse(nullptr, 10), nullptr);
    EXPECT_EQ(xml.Parse("<?xml version=\"1.0\"?><a/>", 0), nullptr);
    EXPECT_EQ(Reparse(" \r\n\t<?xml version=\"1.0\"?><a/>"), kPlainDecl + std::string("<a/>\r\n"));
}

// Shift-JIS under any of its names is read as code page 932: 表 is 0x95 0x5C,
// its second byte a backslash, which must neither end anything nor turn into
// a yen sign. Any other encoding, or none, is read as UTF-8, also after a
// Shift-JIS document. What is written back is UTF-8, and declared so.
TEST(Xml, EncodingsAreReadAsCodePage932OrUtf8) {
    const std::string sjisText = "C:\\\x95\x5C\\\x93\xFA\x96\x7B";
    const std::string utf8Text = "C:\\\xE8\xA1\xA8\\\xE6\x97\xA5\xE6\x9C\xAC";
    CXml xml;
    // A longer name that starts like one of code page 932's is not one of them.
    const std::pair<const char*, bool> kNames[] = {
        {"shift_jis", true},   {"Shift_JIS", true}, {"SHIFT-JIS", true},   {"windows-31j", true},
        {"cp932", true},       {"utf-8", false},    {"UTF-8", false},      {"euc-jp", false},
        {"iso-8859-1", false}, {"", false},         {"shift_jis2", false}, {"cp93", false}};
    for (const auto& [declared, sjis] : kNames) {
        SCOPED_TRACE(declared);
        const std::string encoding = *declared ? std::string(" encoding=\"") + declared + "\"" : "";
        const std::string& text = sjis ? sjisText : utf8Text;
        if (!sjis) xml.FreeNodes(Parse(xml, "<?xml version=\"1.0\" encoding=\"shift_jis\"?><a/>"));
        XmlNode* root = Parse(xml, "<?xml version=\"1.0\"" + encoding + "?>\r\n<path n='" + text + "'>" +
                                       text + "</path>");
        ASSERT_NE(root, nullptr);
        EXPECT_EQ(xml.GetCodePage(), sjis ? 932u : 65001u);
        EXPECT_EQ(root->pText->Str(), utf8Text);
        EXPECT_EQ(root->pAttr->pValue->Str(), utf8Text);
        if (sjis) {
            ASSERT_NE(root->pEncoding, nullptr);
            EXPECT_STREQ(root->pEncoding->c_str(), declared);
            EXPECT_EQ(Write(xml, root), "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<path n=\"" +
                                            utf8Text + "\" >" + utf8Text + "</path>\r\n");
            EXPECT_EQ(xml.GetCodePage(), 65001u);
        }
        xml.FreeNodes(root);
    }
}

// What only built trees have; the layout of parsed ones is the parse table's,
// and the settings and chain files have their own byte-exact checks.
TEST(Xml, WriterLayoutIsByteExact) {
    CXml xml;
    // An empty or missing value is written so that it reads back as empty.
    XmlNode* node = xml.CreateNode("n");
    CXml::AppendAttribute(node, xml.CreateAttribute("e", ""));
    CXml::AppendAttribute(node, xml.CreateAttribute(L"m", nullptr));
    EXPECT_EQ(Write(xml, node), kPlainDecl + std::string("<n e=\" \" m=\" \" />\r\n"));
    EXPECT_EQ(Reparse(Write(xml, node)), Write(xml, node));
    xml.FreeNodes(node);

    // No node: the declaration alone.
    EXPECT_EQ(Write(xml, nullptr), kPlainDecl);
    // Wide text is written as UTF-8, and a node naming another encoding is declared UTF-8.
    node = xml.CreateNode(L"a", L"\x8868"); // 表
    node->pEncoding = new CString("shift_jis");
    EXPECT_EQ(Write(xml, node), "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<a>\xE8\xA1\xA8</a>\r\n");
    xml.FreeNodes(node);
}

TEST(Xml, LargeDocumentRoundTrips) {
    // Every sibling and attribute is kept in order.
    std::string big = kDecl + std::string("<list>");
    for (int i = 0; i < 5000; ++i)
        big += "<item n=\"" + std::to_string(i) + "\">v" + std::to_string(i * 7) + "</item>";
    big += "</list>";
    std::string once = Reparse(big);
    EXPECT_EQ(Reparse(once), once);
    EXPECT_NE(once.find("<item n=\"4999\" >v34993</item>\r\n</list>\r\n"), std::string::npos);
}

TEST(Xml, NestingDepthIsBounded) {
    auto repeat = [](const std::string& s, int n) {
        std::string out;
        while (n-- > 0)
            out += s;
        return out;
    };
    auto nested = [&](int depth) { return kDecl + repeat("<a x='1'>", depth) + repeat("</a>", depth); };
    int damaged = -1;
    EXPECT_NE(Reparse(nested(CXml::kMaxDepth), &damaged), "null");
    EXPECT_EQ(damaged, 0);
    // One level deeper, far deeper, and thousands of start tags never closed.
    for (const std::string& doc :
         {nested(CXml::kMaxDepth + 1), nested(200000), kDecl + repeat("<a>", 100000)})
        EXPECT_EQ(Reparse(doc), "null") << doc.size();
}

TEST(Xml, DeepTreesBuiltByCallersAreWrittenAndFreed) {
    CXml xml;
    XmlNode* root = xml.CreateNode("a");
    XmlNode* cur = root;
    const int depth = 100000;
    for (int i = 1; i < depth; ++i) {
        cur->pChild = xml.CreateNode("a");
        cur = cur->pChild;
    }
    cur->pText = new CString("x");
    // Declaration, "<a>" per level, the text, then "</a>\r\n" per level.
    EXPECT_EQ(Write(xml, root).size(), std::strlen(kPlainDecl) + depth * 3 + 1 + depth * 6);
    xml.FreeNodes(root);
}

TEST(Xml, GetIntTable) {
    const std::pair<const char*, int> cases[] = {
        // text (null: none), value read with default 99
        {" -12", -12}, {"12a", 99}, {"-", 0},     {nullptr, 99},      {"", 99},   {"\t 7", 7},
        {"0", 0},      {"-0", 0},   {"12 ", 99},  {"4294967295", -1}, {"+5", 99}, {"2147483647", 2147483647},
        {"   ", 0},    {"1-2", 99}, {"00042", 42}};
    CXml xml;
    for (auto [text, expected] : cases) {
        XmlNode* node = xml.CreateNode("n", text);
        EXPECT_EQ(xml.GetInt(node, 99), expected) << (text ? text : "(none)");
        xml.FreeNodes(node);
    }
    EXPECT_EQ(xml.GetInt(nullptr, 5), 5);
}

// ---------------------------------------------------------------- ownership

const char kDoc[] = "<?xml version=\"1.0\"?><r><a x=\"1\">t</a><b x=\"1\">t</b></r>";

// Every kind of mix in one tree: a parsed subtree freed while the rest of its
// document is held, created nodes and caller strings in a parsed tree, nodes
// moved over from another document whose top is freed, and the parsed tree
// under a created node. It writes the right bytes and everything goes once;
// the same CXml then reads again.
TEST(XmlArena, MixedTreesWriteAndGoOnce) {
    CXml xml;
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        XmlNode *r = Parse(xml, kDoc), *other = Parse(xml, "<?xml version=\"1.0\"?><o><p/><q/></o>");
        ASSERT_TRUE(r && other);
        XmlNode* a = r->pChild;
        r->pChild = a->pNext;
        a->pNext = nullptr;
        xml.FreeNodes(a);
        XmlNode* c = xml.CreateNode("c", "n");
        CXml::AppendAttribute(c, xml.CreateAttribute("k", "v"));
        CXml::AppendChild(r, c);
        r->pChild->pText = new CString("u");
        r->pChild->pAttr->pValue = new CString("9");
        r->pChild->pEncoding = new CString("utf-8"); // read only from the top node
        CXml::AppendAttribute(r->pChild, xml.CreateAttribute("y", "2"));
        CXml::AppendChild(r, other->pChild);
        other->pChild = nullptr;
        xml.FreeNodes(other);
        EXPECT_EQ(xml.GetDocumentCount(), 2); // p and q keep theirs
        XmlNode* w = xml.CreateNode(L"w");
        CXml::AppendChild(w, r);
        EXPECT_EQ(Write(xml, w),
                  kPlainDecl + std::string("<w><r><b x=\"9\" y=\"2\" >u</b>\r\n<c k=\"v\" >n</c>\r\n"
                                           "<p/>\r\n<q/>\r\n</r>\r\n</w>\r\n"));
        xml.FreeNodes(w);
        EXPECT_EQ(xml.GetDocumentCount(), 0);
    }
}

// Equal texts of one document are one string; writing through it reaches
// every node that holds it but no other document, and the text of its own it
// takes for that goes with the document.
TEST(XmlArena, EqualTextsOfOneDocumentShareOneString) {
    CXml xml;
    XmlNode *r = Parse(xml, kDoc), *second = Parse(xml, kDoc);
    ASSERT_TRUE(r && second);
    r->pChild->pText->Append("!");
    EXPECT_EQ(Write(xml, r),
              kPlainDecl + std::string("<r><a x=\"1\" >t!</a>\r\n<b x=\"1\" >t!</b>\r\n</r>\r\n"));
    EXPECT_STREQ(second->pChild->pText->c_str(), "t");
    xml.FreeNodes(r);
    EXPECT_EQ(xml.GetDocumentCount(), 1);
    xml.FreeNodes(second);
    EXPECT_EQ(xml.GetDocumentCount(), 0);
}

TEST(XmlArena, StringsTakenOutLiveOnAfterTheDocument) {
    CString moved, copied, trimmed;
    {
        CXml xml;
        XmlNode* r = Parse(xml, "<?xml version=\"1.0\"?><r v=' x '>text</r>");
        ASSERT_NE(r, nullptr);
        moved = std::move(*r->pText);
        copied = *r->pAttr->pName;
        CString taken(std::move(*r->pAttr->pValue));
        taken.Trim();
        trimmed = std::move(taken);
        EXPECT_STREQ(r->pText->c_str(), "text"); // a move out leaves the tree as it was
        EXPECT_STREQ(r->pAttr->pValue->c_str(), "x");
        // The CXml goes with the tree still held: it takes the tree along.
    }
    EXPECT_EQ(moved.Str(), "text");
    EXPECT_EQ(copied.Str(), "v");
    EXPECT_EQ(trimmed.Str(), "x");
}

} // namespace
