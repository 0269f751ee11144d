// Replays every file of the fuzz targets' seed corpora through both loaders
// and checks the guarding scan against the parser, so each build runs them.
#include <gtest/gtest.h>
#include <tinyxml.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "config/interface_texts.h"
#include "config/model_catalogue.h"
#include "config/xml_shape.h"
#include "platform/codepage.h"
#include "tests/support/temp_dir.h"

namespace {

std::vector<std::filesystem::path> CorpusFiles() {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(TARNWICK_CONFIG_CORPUS))
        if (entry.is_regular_file()) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

// Element nesting of what the parser builds from `bytes`.
int ParserDepth(const std::string& bytes) {
    if (bytes.empty()) return 0;
    std::FILE* file = fmemopen(const_cast<char*>(bytes.data()), bytes.size(), "rb");
    TiXmlDocument doc;
    doc.LoadFile(file, TIXML_DEFAULT_ENCODING);
    std::fclose(file);
    int deepest = 0;
    std::vector<std::pair<const TiXmlNode*, int>> pending{{&doc, 0}};
    while (!pending.empty()) {
        const auto [node, depth] = pending.back();
        pending.pop_back();
        for (const TiXmlElement* e = node->FirstChildElement(); e; e = e->NextSiblingElement()) {
            deepest = std::max(deepest, depth + 1);
            pending.emplace_back(e, depth + 1);
        }
    }
    return deepest;
}

class CorpusReplayTest : public testing_support::TempDirTest {
protected:
    void TearDown() override {
        platform::SetAnsiCodePage("");
        TempDirTest::TearDown();
    }
};

TEST_F(CorpusReplayTest, EveryCorpusFileThroughBothLoaders) {
    const std::vector<std::filesystem::path> files = CorpusFiles();
    ASSERT_FALSE(files.empty());
    for (const std::filesystem::path& path : files) {
        SCOPED_TRACE(path.string());
        const std::string bytes = ReadFile(path.string());
        WriteFile("Config.xml", bytes);
        WriteFile("language.xml", bytes);
        ModelCatalogue catalogue;
        UiTexts texts;
        if (!LoadModelCatalogue(catalogue, texts)) {
            EXPECT_TRUE(catalogue.empty());
        }
        for (const char* codePage : {"UTF-8", "WINDOWS-1251", "GBK"}) {
            platform::SetAnsiCodePage(codePage);
            UiTexts language;
            LoadInterfaceTexts(language);
        }
        const XmlShape shape = ScanXmlShape(bytes, {1 << 20, 1 << 20});
        if (!shape.unsafe && bytes.size() < 65536) {
            EXPECT_EQ(shape.depth, ParserDepth(bytes));
        }
    }
}

}  // namespace
