#include "config/interface_texts.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/codepage.h"
#include "res/list_columns.h"
#include "res/resources.h"
#include "tests/support/fake_window.h"
#include "tests/support/temp_dir.h"

namespace {

constexpr int kCaptionIds[] = {IDC_DISCOVERY, IDC_LABEL_LOCAL_IP, IDC_LABEL_NETMASK, IDC_LABEL_GATEWAY, IDC_MODIFY};

class InterfaceTextsTest : public testing_support::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        platform::SetAnsiCodePage("UTF-8");
        // What Config.xml left in the message entries.
        texts.entries[kUiTextMessageCaption] = "Notice";
        texts.entries[kUiTextModifyOk] = "Modify OK";
        texts.entries[kUiTextModifyFailed] = "Modify Failed";
    }
    void TearDown() override {
        platform::SetAnsiCodePage("");
        TempDirTest::TearDown();
    }
    bool Load(const std::string& xml) {
        WriteFile("language.xml", xml);
        return LoadInterfaceTexts(texts);
    }
    std::string Entry(int i) const { return texts.entries[static_cast<std::size_t>(i)]; }

    UiTexts texts;
};

TEST_F(InterfaceTextsTest, UnloadableFileChangesNothing) {
    const UiTexts before = texts;
    EXPECT_FALSE(LoadInterfaceTexts(texts));
    for (const char* xml : {"", "<Tarnwick><TitleName>x</TitleName>", "<Tarnwick></Other>"}) {
        EXPECT_FALSE(Load(xml)) << xml;
        EXPECT_EQ(texts.title, before.title);
        EXPECT_EQ(texts.entries, before.entries);
    }
}

TEST_F(InterfaceTextsTest, EmptyRootOrRootOfAnotherNameReadsNothing) {
    const UiTexts before = texts;
    for (const char* xml : {"<Tarnwick/>", "<Other><TitleName>T</TitleName><Buttons><b>B</b></Buttons></Other>"}) {
        EXPECT_TRUE(Load(xml)) << xml;
        EXPECT_EQ(texts.title, "");
        EXPECT_EQ(texts.entries, before.entries);
    }
}

TEST_F(InterfaceTextsTest, CompleteFileFillsEveryEntry) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Tarnwick>\n<TitleName>Title</TitleName>\n"
                      "<ListCtrlColumnTitle>";
    for (int i = 0; i < 10; ++i) xml += "<C" + std::to_string(i) + ">H" + std::to_string(i) + "</C" + std::to_string(i) + ">";
    xml += "</ListCtrlColumnTitle>\n<Buttons><a>B0</a><b>B1</b><c>B2</c><d>B3</d><e>B4</e></Buttons>\n"
           "<MessageCaption>Cap</MessageCaption><MessageOKText>Ok</MessageOKText>"
           "<MessageErrorText>Err</MessageErrorText></Tarnwick>";
    ASSERT_TRUE(Load(xml));
    EXPECT_EQ(texts.title, "Title");
    for (int i = 0; i < 10; ++i) EXPECT_EQ(Entry(i), "H" + std::to_string(i));
    for (int i = 0; i < 5; ++i) EXPECT_EQ(Entry(10 + i), "B" + std::to_string(i));
    EXPECT_EQ(Entry(15), "Cap");
    EXPECT_EQ(Entry(16), "Ok");
    EXPECT_EQ(Entry(17), "Err");
}

TEST_F(InterfaceTextsTest, GroupEntriesGoByPosition) {
    ASSERT_TRUE(Load("<Tarnwick><ListCtrlColumnTitle><a>SN</a><b/><c>Third</c><!-- c -->\n text \n<d>\n   Over\n"
                     "      two   lines\n</d></ListCtrlColumnTitle>"
                     "<Buttons><!-- first --><a>never</a></Buttons></Tarnwick>"));
    EXPECT_EQ(Entry(0), "SN");
    EXPECT_EQ(Entry(1), "");  // an empty element keeps its position
    EXPECT_EQ(Entry(2), "Third");
    EXPECT_EQ(Entry(3), "Over two lines");
    for (int i = 4; i < 15; ++i) EXPECT_EQ(Entry(i), "") << i;
}

TEST_F(InterfaceTextsTest, GroupWhoseFirstChildIsTextIsNotRead) {
    ASSERT_TRUE(Load("<Tarnwick><ListCtrlColumnTitle>loose<a>A</a></ListCtrlColumnTitle></Tarnwick>"));
    EXPECT_EQ(Entry(0), "");
}

TEST_F(InterfaceTextsTest, MessageTextsReplaceOnlyWhenPresentWithText) {
    ASSERT_TRUE(Load("<Tarnwick><MessageOKText>Saved</MessageOKText><MessageErrorText></MessageErrorText>"
                     "<MessageCaption>  </MessageCaption></Tarnwick>"));
    EXPECT_EQ(Entry(kUiTextMessageCaption), "Notice");
    EXPECT_EQ(Entry(kUiTextModifyOk), "Saved");
    EXPECT_EQ(Entry(kUiTextModifyFailed), "Modify Failed");
}

// Texts beyond a group's own size are dropped: the 11th heading does not
// become a caption, the 6th caption does not become the message caption.
TEST_F(InterfaceTextsTest, OverlongGroupsStayWithinTheirEntries) {
    auto group = [](const char* name, const char* prefix) {
        std::string xml = std::string("<") + name + ">";
        for (int i = 0; i < 30; ++i) xml += std::string("<e>") + prefix + std::to_string(i) + "</e>";
        return xml + "</" + name + ">";
    };
    ASSERT_TRUE(Load("<Tarnwick>" + group("ListCtrlColumnTitle", "H") + "</Tarnwick>"));
    EXPECT_EQ(Entry(9), "H9");
    for (int i = 10; i < 15; ++i) EXPECT_EQ(Entry(i), "") << i;
    EXPECT_EQ(Entry(15), "Notice");

    ASSERT_TRUE(Load("<Tarnwick>" + group("Buttons", "B") + "</Tarnwick>"));
    EXPECT_EQ(Entry(10), "B0");
    EXPECT_EQ(Entry(14), "B4");
    EXPECT_EQ(Entry(15), "Notice");
    EXPECT_EQ(Entry(16), "Modify OK");
    EXPECT_EQ(Entry(17), "Modify Failed");
}

TEST_F(InterfaceTextsTest, TextsAreConvertedToTheAnsiCodePage) {
    const std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Tarnwick><TitleName>Поиск</TitleName>"
                            "<ListCtrlColumnTitle><a>Σειρά</a><b>型号</b></ListCtrlColumnTitle></Tarnwick>";
    platform::SetAnsiCodePage("WINDOWS-1251");
    ASSERT_TRUE(Load(xml));
    EXPECT_EQ(texts.title, "\xCF\xEE\xE8\xF1\xEA");
    EXPECT_EQ(Entry(0), "?????");
    EXPECT_EQ(Entry(1), "??");
    platform::SetAnsiCodePage("WINDOWS-1253");
    ASSERT_TRUE(Load(xml));
    EXPECT_EQ(Entry(0), "\xD3\xE5\xE9\xF1\xDC");
    platform::SetAnsiCodePage("GBK");
    ASSERT_TRUE(Load(xml));
    EXPECT_EQ(Entry(1), "\xD0\xCD\xBA\xC5");
}

TEST_F(InterfaceTextsTest, RussianSampleFillsEveryText) {
    WriteFile("language.xml", ReadFile(TARNWICK_SAMPLE_LANGUAGE_XML));
    platform::SetAnsiCodePage("WINDOWS-1251");
    ASSERT_TRUE(LoadInterfaceTexts(texts));
    EXPECT_EQ(texts.title, "Tarnwick V3.2.0.3, \xF1\xE1\xEE\xF0\xEA\xE0 \xEE\xF2 20160229");
    EXPECT_EQ(Entry(0), "\xD1\xE5\xF0\xE8\xE9\xED\xFB\xE9 \xED\xEE\xEC\xE5\xF0");
    EXPECT_EQ(Entry(10), "\xCF\xEE\xE8\xF1\xEA");
    for (int i = 0; i < kUiTextCount; ++i) {
        EXPECT_FALSE(Entry(i).empty()) << i;
        EXPECT_EQ(Entry(i).find('?'), std::string::npos) << i;
    }
    EXPECT_NE(Entry(kUiTextModifyOk), "Modify OK");
}

TEST_F(InterfaceTextsTest, DeeplyNestedFileIsRefused) {
    std::string deep;
    for (int i = 0; i < 100000; ++i) deep += "<a>";
    const UiTexts before = texts;
    EXPECT_FALSE(Load("<Tarnwick><TitleName>T</TitleName>" + deep));
    EXPECT_EQ(texts.title, before.title);
}

TEST_F(InterfaceTextsTest, ApplyShowsTitleColumnsAndCaptions) {
    testing_support::FakeDialog dialog(*FindDialogTemplate(IDD_TARNWICK_DIALOG));
    texts.title = "Title";
    texts.entries[0] = "Serial";
    texts.entries[11] = "Address";
    ApplyInterfaceTexts(dialog, texts);

    EXPECT_EQ(dialog.window().title, "Title");
    const auto& columns = dialog.list(IDC_DEVICE_LIST).columns;
    ASSERT_EQ(columns.size(), 10u);
    for (std::size_t i = 0; i < 10; ++i) {
        EXPECT_EQ(columns[i].heading, i == 0 ? "Serial" : "") << i;
        EXPECT_EQ(columns[i].width, kDeviceListColumns[i].width) << i;
        EXPECT_EQ(columns[i].format, platform::LVCFMT_LEFT) << i;
    }
    for (int k = 0; k < 5; ++k) EXPECT_EQ(dialog.window().texts[kCaptionIds[k]], k == 1 ? "Address" : "") << k;
    EXPECT_EQ(dialog.window().texts[IDC_TYPE_NVR], "NVR");  // other controls keep their captions
}

}  // namespace
