#include "config/xml_file.h"

#include <gtest/gtest.h>
#include <tinyxml.h>

#include <cstdio>
#include <string>

#include "config/xml_shape.h"
#include "tests/support/temp_dir.h"

namespace {

std::string Repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

std::string Nested(int depth) { return Repeat("<a>", depth) + Repeat("</a>", depth); }

std::string WithAttributes(int count) {
    std::string xml = "<a";
    for (int i = 0; i < count; ++i) xml += " n" + std::to_string(i) + "=\"v\"";
    return xml + "/>";
}

// Element nesting of what the parser itself builds from `bytes`.
int ParserDepth(const std::string& bytes) {
    std::FILE* file = fmemopen(const_cast<char*>(bytes.data()), bytes.size(), "rb");
    TiXmlDocument doc;
    doc.LoadFile(file, TIXML_DEFAULT_ENCODING);
    std::fclose(file);
    int deepest = 0;
    struct Walk {
        static void Run(const TiXmlNode* node, int depth, int& deepest) {
            for (const TiXmlElement* e = node->FirstChildElement(); e; e = e->NextSiblingElement()) {
                deepest = std::max(deepest, depth + 1);
                Run(e, depth + 1, deepest);
            }
        }
    };
    Walk::Run(&doc, 0, deepest);
    return deepest;
}

class XmlFileTest : public testing_support::TempDirTest {
protected:
    bool Load(const std::string& bytes) {
        WriteFile("Config.xml", bytes);
        TiXmlDocument doc;
        return LoadXmlFile(doc, "Config.xml");
    }
};

TEST_F(XmlFileTest, LimitsAreExact) {
    EXPECT_TRUE(Load(Nested(kMaxXmlDepth)));
    EXPECT_FALSE(Load(Nested(kMaxXmlDepth + 1)));
    EXPECT_TRUE(Load(WithAttributes(kMaxXmlAttributesPerElement)));
    EXPECT_FALSE(Load(WithAttributes(kMaxXmlAttributesPerElement + 1)));
    const std::string root = "<Tarnwick/>";
    EXPECT_TRUE(Load(root + std::string(kMaxXmlFileBytes - root.size(), '\n')));
    EXPECT_FALSE(Load(root + std::string(kMaxXmlFileBytes - root.size() + 1, '\n')));
}

TEST_F(XmlFileTest, HugeNestingAndAttributeCountsAreRefused) {
    EXPECT_FALSE(Load(Repeat("<a>", 300000)));
    EXPECT_FALSE(Load(Repeat("<a><!--x-->", 80000)));
    EXPECT_FALSE(Load(WithAttributes(100000)));
}

// Constructs that hide elements from a scanner that does not follow the
// parser's rules: the parser nests the levels between `open` and `close`.
struct Disguise {
    const char* name;
    std::string open;
    std::string close;
    std::string level = "<a>";
};

const Disguise kDisguises[] = {
    {"quoted > in a declaration", "<?xml version=\"><!--\" ?>", "-->"},
    {"multi-byte lead swallows a quote", "<?xml version=\"1.0\"?><r x=\"\xE0\"'\">", "'"},
    {"end tag at document level", "</ <!-- > ", " -->"},
    {"comment opener in an attribute", "<r a=\"<!--\">", "-->"},
    {"byte-order mark as white space", "\xEF\xBB\xBF<r\xEF\xBB\xBF>", ""},
    {"DEL starts a name", "", "", "<\x7F>"},
    {"CDATA opener in a comment", "<r><!--<![CDATA[-->", "]]>"},
    {"declaration inside an element", "<r><?xml encoding='<!--'?>", "-->"},
};

TEST_F(XmlFileTest, NestingHiddenByParserQuirksIsSeen) {
    for (const Disguise& d : kDisguises) {
        SCOPED_TRACE(d.name);
        const std::string shallow = d.open + Repeat(d.level, 10) + d.close;
        EXPECT_EQ(ScanXmlShape(shallow, {1000, 1000}).depth, ParserDepth(shallow));
        EXPECT_GE(ParserDepth(shallow), 10);
        EXPECT_FALSE(Load(d.open + Repeat(d.level, 250000) + d.close));
    }
}

TEST_F(XmlFileTest, InputsThatWouldMakeTheParserMisbehaveAreRefused) {
    EXPECT_FALSE(Load("<?xml version=\"1.0\"?><a>\xE0"));         // reads past its buffer
    EXPECT_FALSE(Load("<?xml version=\"1.0\"?><a x=\"\xF0\x9F"));  // the same in a value
    EXPECT_FALSE(Load("<?xml version=\"1.0\" "));                  // asserts where unpatched
    // Bytes after a NUL are never parsed, so a lead byte before it reaches them.
    EXPECT_FALSE(Load(std::string("<?xml version=\"1.0\"?><a>\xE0\0<b></b></a>", 35)));
}

TEST_F(XmlFileTest, OrdinaryFilesLoadAsTheParserReadsThem) {
    WriteFile("Config.xml", "\xEF\xBB\xBF<?xml version=\"1.0\"?>\r\n<Tarnwick a='1'>\r\n <T>x\r\ny</T>\r</Tarnwick>");
    TiXmlDocument doc;
    ASSERT_TRUE(LoadXmlFile(doc, "Config.xml"));
    const TiXmlElement* text = TiXmlHandle(&doc).FirstChild("Tarnwick").FirstChild("T").ToElement();
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text->GetText(), "x y");
    EXPECT_TRUE(Load(std::string("<Tarnwick/>\0<a><a>", 18)));  // the parser stops at a NUL
    EXPECT_FALSE(Load("<a x='1' x='2'/>"));
    EXPECT_FALSE(Load("<a></b>"));
    TiXmlDocument missing;
    EXPECT_FALSE(LoadXmlFile(missing, "no-such-file.xml"));
}

}  // namespace
