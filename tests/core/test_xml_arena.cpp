// Who owns the pieces of a tree: parsed nodes and strings live in their
// document's blocks, created ones and strings put in by a caller are
// allocations of their own. Every mix must write the right bytes and go
// exactly once, without a leak (the sanitizer build checks that part).
#include "settings/CXml.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const char kDoc[] = "<?xml version=\"1.0\"?><r><a x=\"1\">t</a><b x=\"1\">t</b></r>";
const char kDecl[] = "<?xml version=\"1.0\" ?>\r\n";

XmlNode* Parse(CXml& xml, const std::string& doc) {
    return xml.Parse(doc.data(), static_cast<uint32_t>(doc.size()));
}

std::string Write(CXml& xml, const XmlNode* node) {
    char* text = xml.Serialize(node);
    std::string out = text ? text : "<no buffer>";
    CXml::FreeBuffer(text);
    return out;
}

// Each edit gets the parsed root of kDoc and answers the top node to write
// and free afterwards.
struct MixCase {
    const char* name;
    XmlNode* (*edit)(CXml& xml, XmlNode* root);
    const char* expected; // after the declaration line
};

const MixCase kMixCases[] = {
    {"created_nodes_in_parsed_tree",
     [](CXml& xml, XmlNode* r) {
         XmlNode* c = xml.CreateNode("c", "n");
         CXml::AppendAttribute(c, xml.CreateAttribute("k", "v"));
         CXml::AppendChild(r, c);
         CXml::AppendAttribute(r->pChild, xml.CreateAttribute("y", "2"));
         return r;
     },
     "<r><a x=\"1\" y=\"2\" >t</a>\r\n<b x=\"1\" >t</b>\r\n<c k=\"v\" >n</c>\r\n</r>\r\n"},
    {"caller_strings_replace_parsed_ones",
     [](CXml&, XmlNode* r) {
         r->pChild->pText = new CString("u");
         r->pChild->pAttr->pValue = new CString("9");
         r->pChild->pEncoding = new CString("utf-8"); // read only from the top node
         return r;
     },
     "<r><a x=\"9\" >u</a>\r\n<b x=\"1\" >t</b>\r\n</r>\r\n"},
    {"subtree_freed_first",
     [](CXml& xml, XmlNode* r) {
         XmlNode* a = r->pChild;
         r->pChild = a->pNext;
         a->pNext = nullptr;
         xml.FreeNodes(a);
         EXPECT_EQ(xml.GetDocumentCount(), 1); // b and r still hold it
         return r;
     },
     "<r><b x=\"1\" >t</b>\r\n</r>\r\n"},
    {"parsed_tree_under_created_node",
     [](CXml& xml, XmlNode* r) {
         XmlNode* w = xml.CreateNode(L"w");
         CXml::AppendChild(w, r);
         return w;
     },
     "<w><r><a x=\"1\" >t</a>\r\n<b x=\"1\" >t</b>\r\n</r>\r\n</w>\r\n"},
    {"nodes_of_two_documents_mixed",
     [](CXml& xml, XmlNode* r) {
         XmlNode* other = Parse(xml, "<?xml version=\"1.0\"?><o><p/><q/></o>");
         EXPECT_EQ(xml.GetDocumentCount(), 2);
         CXml::AppendChild(r, other->pChild); // p and q move over
         other->pChild = nullptr;
         xml.FreeNodes(other);
         EXPECT_EQ(xml.GetDocumentCount(), 2); // p and q keep theirs
         return r;
     },
     "<r><a x=\"1\" >t</a>\r\n<b x=\"1\" >t</b>\r\n<p/>\r\n<q/>\r\n</r>\r\n"},
};

class MixTable : public testing::TestWithParam<MixCase> {};

TEST_P(MixTable, WritesAndGoesOnce) {
    const MixCase& c = GetParam();
    CXml xml;
    for (int round = 0; round < 2; ++round) { // the same CXml reads again once all went
        XmlNode* root = Parse(xml, kDoc);
        ASSERT_NE(root, nullptr);
        XmlNode* top = c.edit(xml, root);
        EXPECT_EQ(Write(xml, top), kDecl + std::string(c.expected)) << "round " << round;
        xml.FreeNodes(top);
        EXPECT_EQ(xml.GetDocumentCount(), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(XmlArena, MixTable, testing::ValuesIn(kMixCases),
                         [](const testing::TestParamInfo<MixCase>& i) { return std::string(i.param.name); });

TEST(XmlArena, EqualTextsOfOneDocumentShareOneString) {
    CXml xml;
    XmlNode* r = Parse(xml, kDoc);
    XmlNode* second = Parse(xml, kDoc);
    ASSERT_NE(r, nullptr);
    ASSERT_NE(second, nullptr);
    const XmlNode* a = r->pChild;
    const XmlNode* b = a->pNext;
    EXPECT_EQ(a->pAttr->pName, b->pAttr->pName);
    EXPECT_EQ(a->pAttr->pValue, b->pAttr->pValue);
    EXPECT_EQ(a->pText, b->pText);
    EXPECT_NE(a->pName, b->pName);
    EXPECT_NE(a->pText, second->pChild->pText); // documents share nothing
    // Writing through a shared string reaches every node that holds it; the
    // string takes a text of its own for that and gives it back with the document.
    a->pText->Append("!");
    EXPECT_STREQ(b->pText->c_str(), "t!");
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

TEST(XmlArena, FailedAndRefusedReadsKeepNoDocument) {
    const char* const docs[] = {
        "<?xml version=\"1.0\"?><r><p>1</p><a x='1'><b/></c><q/></r>", // wrong end tag: partial tree
        "<?xml version=\"1.0\"?><r><p/><a x=\"\"/><b/></r>",           // empty value stops the reading
        "<?xml version=\"1.0\"?><a><b/></c>",                          // the first element fails
        "<?xml version=\"1.0\"?>text",                                 // no element
        "<a/>",                                                        // no declaration
    };
    CXml xml;
    for (const char* doc : docs) {
        XmlNode* root = Parse(xml, doc);
        EXPECT_EQ(xml.GetDocumentCount(), root ? 1 : 0) << doc;
        xml.FreeNodes(root);
        EXPECT_EQ(xml.GetDocumentCount(), 0) << doc;
    }
    std::string deep = "<?xml version=\"1.0\"?>";
    for (int i = 0; i <= CXml::kMaxDepth; ++i)
        deep += "<a x='1'>";
    EXPECT_EQ(Parse(xml, deep), nullptr);
    EXPECT_EQ(xml.GetDocumentCount(), 0);
}

} // namespace
