// What Discovery.Xml holds after resets and appends.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <iterator>
#include <string>

#include "tests/record/record_fixture.h"

#ifndef TARNWICK_RECORD_TEST_DATA
#error "TARNWICK_RECORD_TEST_DATA must name the folder of the expected files"
#endif

namespace record_testing {
namespace {

std::string Expected(const char* name) {
    std::ifstream in(std::string(TARNWICK_RECORD_TEST_DATA) + "/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

using DiscoveryFile = RecordTest;

TEST_F(DiscoveryFile, HoldsTheDocumentByteForByteAfterEveryAppend) {
    ResetDiscoveryLog(log);
    AppendAndSave(SampleCamera());
    const std::string one = Expected("one_node.xml");
    ASSERT_FALSE(one.empty());
    EXPECT_EQ(ReadFile(kDiscoveryFileName), one);

    AppendAndSave(SampleRecorder("NVR7016", "NVR0002", 2));
    EXPECT_EQ(SerialsInFile(ReadFile(kDiscoveryFileName)), (std::vector<std::string>{"IPC0001&R<D", "NVR0002"}));
    AppendAndSave(SampleRecorder("DEC>1", "DEC\"0003", 3));
    EXPECT_EQ(ReadFile(kDiscoveryFileName), Expected("three_nodes.xml"));
    // Nothing but the file is left behind: every temporary file is gone.
    EXPECT_EQ(FilesHere(), std::vector<std::string>{kDiscoveryFileName});
}

TEST_F(DiscoveryFile, AbsentLogWritesNothing) {
    AppendAndSave(SampleCamera());
    ResetDiscoveryLog(log);
    log.Discard();
    EXPECT_TRUE(log.IsAbsent());
    AppendAndSave(SampleCamera());
    EXPECT_TRUE(FilesHere().empty());
}

TEST_F(DiscoveryFile, ResetKeepsThePreviousRunsFileUntilTheNextAppend) {
    ResetDiscoveryLog(log);
    AppendAndSave(SampleCamera());
    const std::string firstRun = ReadFile(kDiscoveryFileName);

    ResetDiscoveryLog(log);
    EXPECT_FALSE(log.IsAbsent());
    EXPECT_EQ(ReadFile(kDiscoveryFileName), firstRun);
    // The old run's node is gone from the document.
    Select(AddRow("IPC0001&R<D"));
    Load();
    EXPECT_EQ(Box(IDC_LOCAL_IP), "");

    AppendAndSave(SampleRecorder("DVR1", "DVR0009", 9));
    EXPECT_EQ(SerialsInFile(ReadFile(kDiscoveryFileName)), std::vector<std::string>{"DVR0009"});
}

TEST_F(DiscoveryFile, IsReadableAndWritableByItsOwnerOnly) {
    const mode_t previous = ::umask(0);
    WriteFile(kDiscoveryFileName, "an older file");
    ::chmod(kDiscoveryFileName, 0666);
    ResetDiscoveryLog(log);
    AppendAndSave(SampleCamera());
    EXPECT_EQ(FileMode(kDiscoveryFileName), 0600u);
    AppendAndSave(SampleCamera());
    EXPECT_EQ(FileMode(kDiscoveryFileName), 0600u);
    ::umask(previous);
}

// Texts that fill their whole field without a NUL are written with exactly
// the field's bytes, and loaded back cut to leave room for the NUL.
TEST_F(DiscoveryFile, FullWidthTextsStayInsideTheirFields) {
    DeviceRecord r = SampleCamera();
    SetText(r.eth0.ip, std::string(16, '1'));
    SetText(r.eth0.mask, std::string(16, '2'));
    SetText(r.eth0.dns2, std::string(16, '5'));
    SetText(r.sn, std::string(48, 'S'));
    SetText(r.user, std::string(32, 'U'));
    SetText(r.password, std::string(16, 'P'));
    SetText(r.model, std::string(32, 'M'));
    ResetDiscoveryLog(log);
    AppendAndSave(r);

    TiXmlDocument saved;
    ASSERT_TRUE(saved.LoadFile(kDiscoveryFileName));
    const TiXmlHandle node = TiXmlHandle(&saved).FirstChild("TREE").FirstChild("Node");
    const TiXmlElement* eth0 = node.FirstChild("Eth0").ToElement();
    ASSERT_NE(eth0, nullptr);
    EXPECT_EQ(std::string(eth0->Attribute("IP")), std::string(16, '1'));
    EXPECT_EQ(std::string(eth0->Attribute("Mask")), std::string(16, '2'));
    EXPECT_EQ(std::string(eth0->Attribute("DNS2")), std::string(16, '5'));
    EXPECT_EQ(std::string(eth0->Attribute("MAC")), "00:1a:2b:3c:4d:5e");
    EXPECT_EQ(std::string(node.FirstChild("SN").ToElement()->Attribute("A")), std::string(48, 'S'));
    EXPECT_EQ(std::string(node.FirstChild("User").ToElement()->Attribute("U")), std::string(32, 'U'));
    EXPECT_EQ(std::string(node.FirstChild("User").ToElement()->Attribute("P")), std::string(16, 'P'));
    EXPECT_EQ(std::string(node.FirstChild("Model").ToElement()->Attribute("A")), std::string(32, 'M'));

    Select(AddRow(std::string(48, 'S')));
    Load();
    EXPECT_TRUE(SameBytes(modifyRecord, AsLoaded(r)));
    EXPECT_EQ(Text(modifyRecord.eth0.ip), std::string(15, '1'));
    EXPECT_EQ(Text(modifyRecord.sn), std::string(47, 'S'));
    EXPECT_EQ(Box(IDC_LOCAL_IP), std::string(15, '1'));
    EXPECT_EQ(Box(IDC_NETMASK), std::string(15, '2'));
}

}  // namespace
}  // namespace record_testing
