#include "config/model_catalogue.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/temp_dir.h"

namespace {

TEST(ModelKeyTest, OrdersByteWiseSerialFirstShorterFirst) {
    EXPECT_TRUE((ModelKey{"A\x7F", ""} < ModelKey{"A\x80", ""}));  // unsigned bytes
    EXPECT_FALSE((ModelKey{"A\x80", ""} < ModelKey{"A\x7F", ""}));
    EXPECT_TRUE((ModelKey{"ABC", "Z"} < ModelKey{"ABCD", ""}));
    EXPECT_TRUE((ModelKey{"ABCD", "X"} < ModelKey{"ABCD", "Y"}));
    EXPECT_TRUE((ModelKey{"ABCD", ""} < ModelKey{"ABCD", "A"}));
    EXPECT_FALSE((ModelKey{"ABCD", "A"} < ModelKey{"ABCD", "A"}));
    EXPECT_TRUE((ModelKey{"ABCD", "A"} < ModelKey{"abcd", ""}));
    EXPECT_EQ((ModelKey{std::string("A\0B", 3), ""}), (ModelKey{std::string("A\0B", 3), ""}));
    EXPECT_FALSE((ModelKey{std::string("A\0B", 3), ""} == ModelKey{"A", ""}));
}

class ModelCatalogueTest : public testing_support::TempDirTest {
protected:
    bool Load(const std::string& xml) {
        WriteFile("Config.xml", xml);
        return LoadModelCatalogue(catalogue, texts);
    }
    std::string Name(const std::string& serialPrefix, const std::string& sensorType) const {
        const std::string* name = FindModelName(catalogue, {serialPrefix, sensorType});
        return name ? *name : "<none>";
    }
    void ExpectTexts(const std::string& caption, const std::string& ok, const std::string& failed) const {
        EXPECT_EQ(texts.entries[kUiTextMessageCaption], caption);
        EXPECT_EQ(texts.entries[kUiTextModifyOk], ok);
        EXPECT_EQ(texts.entries[kUiTextModifyFailed], failed);
    }
    void PresetTexts() {
        for (int e : {kUiTextMessageCaption, kUiTextModifyOk, kUiTextModifyFailed}) texts.entries[e] = "kept";
    }

    ModelCatalogue catalogue{{ModelKey{"OLD", ""}, "stale"}};
    UiTexts texts;
};

TEST_F(ModelCatalogueTest, MissingOrUnparseableFileGoesOnWithNothingLoaded) {
    PresetTexts();
    EXPECT_TRUE(LoadModelCatalogue(catalogue, texts));  // no file
    EXPECT_TRUE(catalogue.empty());
    for (const char* xml : {"", "<Tarnwick><Models>", "<Tarnwick></Other>", "\xEF\xBB\xBF", "plain text"}) {
        catalogue = {{ModelKey{"OLD", ""}, "stale"}};
        EXPECT_TRUE(Load(xml)) << xml;
        EXPECT_TRUE(catalogue.empty()) << xml;
        ExpectTexts("kept", "kept", "kept");
    }
}

TEST_F(ModelCatalogueTest, DocumentWithoutRootOrGroupStopsStartUp) {
    PresetTexts();
    for (const char* xml : {"<?xml version=\"1.0\"?>", "<?xml version=\"1.0\"?>\n<Tarnwick/>", "<!-- only -->",
                            "<Tarnwick>text only</Tarnwick>", "<Tarnwick><!-- c --></Tarnwick>"}) {
        catalogue = {{ModelKey{"OLD", ""}, "stale"}};
        EXPECT_FALSE(Load(xml)) << xml;
        EXPECT_TRUE(catalogue.empty()) << xml;
        ExpectTexts("kept", "kept", "kept");
    }
}

TEST_F(ModelCatalogueTest, LooksUpExactKeysOfTheFirstChildElement) {
    ASSERT_TRUE(Load(R"(<?xml version="1.0" encoding="UTF-8"?>
<Tarnwick>
  <Models>
    <Model SerialNo="ABCD" SensorType="" Name="Recorder X"/>
    <!-- a comment between entries -->
    text between entries
    <Model SerialNo="abcd" SensorType="" Name="lower"/>
    <Camera SerialNo="CAM1" SensorType="IMX290" Name="Camera 290"/>
    <Camera SerialNo="CAM1" SensorType="IMX291" Name="Camera 291"/>
    <Camera SerialNo="CAM1" SensorType="IMX290" Name="second of a key"/>
    <Model SerialNo="ABCDE" SensorType="" Name="five"/>
    <Model SerialNo=" PAD " SensorType="" Name="padded"/>
    <Model SerialNo="NOST" Name="no sensor type"/>
    <Model SensorType="" Name="no serial"/>
    <Model SerialNo="NONM" SensorType=""/>
    <Model SerialNo="ENT&amp;" SensorType="&#x41;&lt;" Name="R &quot;2&quot;"/>
  </Models>
</Tarnwick>)"));
    EXPECT_EQ(Name("ABCD", ""), "Recorder X");
    EXPECT_EQ(Name("ABCE", ""), "<none>");
    EXPECT_EQ(Name("abcd", ""), "lower");
    EXPECT_EQ(Name("ABCD", " "), "<none>");
    EXPECT_EQ(Name("CAM1", "IMX290"), "Camera 290");
    EXPECT_EQ(Name("CAM1", "IMX291"), "Camera 291");
    EXPECT_EQ(Name("CAM1", "imx290"), "<none>");
    EXPECT_EQ(Name("PAD", ""), "<none>");
    EXPECT_EQ(Name(" PAD ", ""), "padded");
    EXPECT_EQ(Name("NOST", ""), "no sensor type");
    EXPECT_EQ(Name("ENT&", "A<"), "R \"2\"");
    // Lookup keys hold at most four characters, so a longer SerialNo is kept
    // but never matches.
    EXPECT_EQ(Name("ABCDE", ""), "five");
    EXPECT_EQ(catalogue.size(), 8u);
    EXPECT_EQ(catalogue.count(ModelKey{"NONM", ""}), 0u);
}

TEST_F(ModelCatalogueTest, MessageTextsByNameWithDefaults) {
    ASSERT_TRUE(Load("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
                     "<Tarnwick><MessageCaption>Caption</MessageCaption><Models/>"
                     "<MessageOKText>  Done,\n\t  really  </MessageOKText>"
                     "<MessageErrorText>Bad &amp; &#x4E2D;</MessageErrorText></Tarnwick>"));
    EXPECT_TRUE(catalogue.empty());  // "MessageCaption" came first and was the group
    ExpectTexts("Caption", "Done, really", "Bad & \xE4\xB8\xAD");

    ASSERT_TRUE(Load("<Tarnwick><Models/><MessageCaption></MessageCaption><MessageOKText>   \n </MessageOKText>"
                     "<MessageErrorText><b>x</b>tail</MessageErrorText></Tarnwick>"));
    ExpectTexts("Notice", "Modify OK", "Modify Failed");
}

TEST_F(ModelCatalogueTest, RootOfAnotherNameKeepsEntriesAndDefaultsTheTexts) {
    ASSERT_TRUE(Load("<Other><Models><M SerialNo=\"ABCD\" SensorType=\"\" Name=\"X\"/></Models>"
                     "<MessageCaption>ignored</MessageCaption></Other>"));
    EXPECT_EQ(Name("ABCD", ""), "X");
    ExpectTexts("Notice", "Modify OK", "Modify Failed");

    // The texts follow the first "Tarnwick" of the document, the catalogue
    // its first element.
    ASSERT_TRUE(Load("<Other><Models><M SerialNo=\"ABCD\" Name=\"Y\"/></Models></Other>"
                     "<Tarnwick><MessageCaption>second root</MessageCaption></Tarnwick>"));
    EXPECT_EQ(Name("ABCD", ""), "Y");
    ExpectTexts("second root", "Modify OK", "Modify Failed");
}

TEST_F(ModelCatalogueTest, RefusedFileIsTreatedAsUnparseable) {
    PresetTexts();
    std::string deep;
    for (int i = 0; i < 200000; ++i) deep += "<a>";
    EXPECT_TRUE(Load("<Tarnwick><Models><M SerialNo=\"A\" Name=\"N\"/>" + deep));
    EXPECT_TRUE(catalogue.empty());
    ExpectTexts("kept", "kept", "kept");
}

}  // namespace
