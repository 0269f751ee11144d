// Reading nodes back: lookup by serial number, positional attributes, MAC
// and port conversion, missing elements, values longer than their fields.
// The documents are written by hand, as no append would produce them.
#include <gtest/gtest.h>

#include <string>

#include <tinyxml.h>

#include "record/discovery_node.h"
#include "tests/record/sample_records.h"

namespace record_testing {
namespace {

class NodeReader : public ::testing::Test {
protected:
    // Parses `xml` and returns its root, or null.
    const TiXmlElement* Parse(const std::string& xml) {
        document.Clear();
        document.Parse(xml.c_str());
        EXPECT_FALSE(document.Error()) << document.ErrorDesc();
        return FindRoot(document);
    }
    // Reads the node of `serial` from the single-node tree around `children`.
    DeviceRecord ReadOne(const std::string& children) {
        DeviceRecord r;
        std::memset(&r, 0xAB, sizeof r);
        const TiXmlElement* root = Parse("<TREE><Node><SN A=\"X\"/>" + children + "</Node></TREE>");
        const TiXmlElement* node = root ? FindNodeBySerial(*root, "X") : nullptr;
        EXPECT_NE(node, nullptr);
        if (node) ReadNode(*node, r);
        return r;
    }
    TiXmlDocument document;
};

TEST_F(NodeReader, RootIsOnlyTheFirstChildNamedTree) {
    EXPECT_NE(Parse("<Other/><TREE/>"), nullptr);
    EXPECT_EQ(Parse("<Other/>"), nullptr);
    // A comment whose text is "TREE" comes first, so there is no root.
    EXPECT_EQ(Parse("<!--TREE--><TREE/>"), nullptr);
    const TiXmlElement* root = Parse("<TREE><Node><SN A=\"1\"/></Node></TREE><TREE><Node><SN A=\"2\"/></Node></TREE>");
    ASSERT_NE(root, nullptr);
    EXPECT_NE(FindNodeBySerial(*root, "1"), nullptr);
    EXPECT_EQ(FindNodeBySerial(*root, "2"), nullptr);
}

TEST_F(NodeReader, SerialIsMatchedOnTheFirstAttributeOfTheFirstSn) {
    const TiXmlElement* root = Parse(
        "<TREE>"
        "<Node><Model A=\"no SN\"/></Node>"
        "<Node><SN/><Model A=\"SN without attribute\"/></Node>"
        "<Node><SN B=\"dup\" A=\"other\"/><Model A=\"first\"/></Node>"
        "<Node><SN A=\"dup\"/><Model A=\"second\"/></Node>"
        "<Node><SN A=\"x\"/><SN A=\"later\"/></Node>"
        "<Node><SN A=\"Case\"/></Node>"
        "<Device><SN A=\"any name\"/></Device>"
        "</TREE>");
    ASSERT_NE(root, nullptr);
    const TiXmlElement* dup = FindNodeBySerial(*root, "dup");
    ASSERT_NE(dup, nullptr);
    EXPECT_STREQ(dup->FirstChildElement("Model")->Attribute("A"), "first");
    EXPECT_EQ(FindNodeBySerial(*root, "other"), nullptr);
    EXPECT_EQ(FindNodeBySerial(*root, "later"), nullptr);
    EXPECT_EQ(FindNodeBySerial(*root, "case"), nullptr);
    EXPECT_EQ(FindNodeBySerial(*root, ""), nullptr);
    // Children are walked whatever their element name.
    EXPECT_EQ(FindNodeBySerial(*root, "any name"), root->FirstChildElement("Device"));
    EXPECT_EQ(FindNodeBySerial(*Parse("<TREE>text</TREE>"), "text"), nullptr);
}

TEST_F(NodeReader, AttributesAreTakenByPositionNotByName) {
    const DeviceRecord r = ReadOne(
        "<Eth0 a=\"1.1.1.1\" b=\"2.2.2.2\" c=\"3.3.3.3\" d=\"4.4.4.4\" e=\"5.5.5.5\" f=\"01:02:03:04:05:06\"/>"
        "<Port Rtsp=\"1\" Http=\"2\" Private=\"3\"/>"
        "<User P=\"name\" U=\"secret\"/>"
        "<Model B=\"IPC-1\" A=\"ignored\"/>");
    EXPECT_EQ(Text(r.eth0.ip), "1.1.1.1");
    EXPECT_EQ(Text(r.eth0.mask), "2.2.2.2");
    EXPECT_EQ(Text(r.eth0.gw), "3.3.3.3");
    EXPECT_EQ(Text(r.eth0.dns1), "4.4.4.4");
    EXPECT_EQ(Text(r.eth0.dns2), "5.5.5.5");
    EXPECT_EQ(r.eth0.mac[0], 1);
    EXPECT_EQ(r.eth0.mac[5], 6);
    EXPECT_EQ(r.privatePort, 1);
    EXPECT_EQ(r.httpPort, 2);
    EXPECT_EQ(r.rtspPort, 3);
    EXPECT_EQ(Text(r.user), "name");
    EXPECT_EQ(Text(r.password), "secret");
    EXPECT_EQ(Text(r.model), "IPC-1");
}

TEST_F(NodeReader, ReadingAnElementEndsAtItsFirstMissingAttribute) {
    const DeviceRecord r = ReadOne(
        "<Eth0 IP=\"1.1.1.1\" Mask=\"2.2.2.2\" GW=\"3.3.3.3\"/>"
        "<Wifi IP=\"a\" Mask=\"b\" GW=\"c\" DNS1=\"d\" DNS2=\"e\"/>"
        "<G3/>"
        "<Port Private=\"8000\" Http=\"80\"/>"
        "<User U=\"admin\"/>");
    DeviceRecord expected;
    std::memset(&expected, 0, sizeof expected);
    SetText(expected.eth0.ip, "1.1.1.1");
    SetText(expected.eth0.mask, "2.2.2.2");
    SetText(expected.eth0.gw, "3.3.3.3");
    SetText(expected.wifi.ip, "a");
    SetText(expected.wifi.mask, "b");
    SetText(expected.wifi.gw, "c");
    SetText(expected.wifi.dns1, "d");
    SetText(expected.wifi.dns2, "e");
    expected.privatePort = 8000;
    expected.httpPort = 80;
    SetText(expected.sn, "X");
    SetText(expected.user, "admin");
    EXPECT_TRUE(SameBytes(r, expected));
}

TEST_F(NodeReader, MissingElementsLeaveOnlyTheirOwnFieldsZero) {
    const std::string eth0 = "<Eth0 IP=\"1.2.3.4\" Mask=\"m\" GW=\"g\" DNS1=\"\" DNS2=\"\" MAC=\"00:00:00:00:00:01\"/>";
    const DeviceRecord noUser = ReadOne(eth0 + "<Port Private=\"1\" Http=\"2\" Rtsp=\"3\"/><Model A=\"DVR-4\"/>");
    EXPECT_EQ(Text(noUser.model), "DVR-4");
    EXPECT_EQ(Text(noUser.user), "");
    EXPECT_EQ(Text(noUser.password), "");
    EXPECT_EQ(noUser.rtspPort, 3);

    const DeviceRecord noModel = ReadOne(eth0 + "<User U=\"u\" P=\"p\"/>");
    EXPECT_EQ(Text(noModel.model), "");
    EXPECT_EQ(Text(noModel.user), "u");
    EXPECT_EQ(Text(noModel.password), "p");
    EXPECT_EQ(Text(noModel.eth0.ip), "1.2.3.4");
    EXPECT_EQ(noModel.eth0.mac[5], 1);
    EXPECT_EQ(noModel.privatePort, 0);
}

struct MacCase {
    const char* text;
    std::uint8_t mac[6];
};

TEST_F(NodeReader, MacIsScannedGroupByGroup) {
    const MacCase cases[] = {
        {"00:1a:2b:3c:4d:5e", {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}},
        {"00:1A:2B:3C:4D:5E", {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}},
        {"0:1:2:a:B:f", {0x00, 0x01, 0x02, 0x0A, 0x0B, 0x0F}},
        {"ff:ee:dd", {0xFF, 0xEE, 0xDD, 0, 0, 0}},
        {"12:zz:34:56:78:9a", {0x12, 0, 0, 0, 0, 0}},
        {"123:45", {0x12, 0, 0, 0, 0, 0}},
        {"12-34-56-78-9a-bc", {0x12, 0, 0, 0, 0, 0}},
        {"", {0, 0, 0, 0, 0, 0}},
        {"not a mac", {0, 0, 0, 0, 0, 0}},
    };
    for (const MacCase& c : cases) {
        const DeviceRecord r = ReadOne(std::string("<G3 IP=\"\" Mask=\"\" GW=\"\" DNS1=\"\" DNS2=\"\" MAC=\"") + c.text + "\"/>");
        EXPECT_EQ(std::memcmp(r.g3.mac, c.mac, 6), 0) << c.text;
    }
}

TEST_F(NodeReader, PortsKeepTheLow16BitsOfTheirDecimalValue) {
    const std::pair<const char*, std::uint16_t> cases[] = {
        {"65535", 65535}, {"65536", 0},  {"70000", 4464}, {"  +80", 80}, {"-1", 65535},
        {"8000x", 8000},  {"abc", 0},    {"", 0},         {"0554", 554},
    };
    for (const auto& [text, port] : cases) {
        const DeviceRecord r = ReadOne(std::string("<Port Private=\"") + text + "\" Http=\"1\" Rtsp=\"2\"/>");
        EXPECT_EQ(r.privatePort, port) << text;
        EXPECT_EQ(r.httpPort, 1);
    }
}

TEST_F(NodeReader, ValuesLongerThanTheirFieldsAreCutWithTheirNul) {
    const std::string longIp(40, '9');
    const DeviceRecord r = ReadOne("<Eth0 IP=\"" + longIp + "\" Mask=\"255.0.0.0\" GW=\"" + longIp + "\" DNS1=\"" +
                                   longIp + "\" DNS2=\"" + longIp + "\" MAC=\"01:02:03:04:05:06\"/>"
                                   "<User U=\"" + std::string(50, 'u') + "\" P=\"" + std::string(30, 'p') + "\"/>"
                                   "<Model A=\"" + std::string(40, 'm') + "\"/>");
    EXPECT_EQ(Text(r.eth0.ip), std::string(15, '9'));
    EXPECT_EQ(Text(r.eth0.mask), "255.0.0.0");
    EXPECT_EQ(Text(r.eth0.dns2), std::string(15, '9'));
    EXPECT_EQ(r.eth0.mac[0], 1);
    EXPECT_EQ(Text(r.user), std::string(31, 'u'));
    EXPECT_EQ(Text(r.password), std::string(15, 'p'));
    EXPECT_EQ(Text(r.model), std::string(31, 'm'));
    EXPECT_EQ(r.softwareVersion, 0u);

    DeviceRecord longSerial;
    const std::string serial(100, 's');
    const TiXmlElement* root = Parse("<TREE><Node><SN A=\"" + serial + "\"/></Node></TREE>");
    ASSERT_NE(root, nullptr);
    const TiXmlElement* node = FindNodeBySerial(*root, serial.c_str());
    ASSERT_NE(node, nullptr);
    ReadNode(*node, longSerial);
    EXPECT_EQ(Text(longSerial.sn), std::string(47, 's'));
    EXPECT_EQ(Text(longSerial.user), "");
}

}  // namespace
}  // namespace record_testing
