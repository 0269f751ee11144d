#include "devsim/onvif/soap_answers.h"

#include <cstdio>
#include <ctime>

#include "netsdk/onvif/xml_escape.h"

namespace devsim {

namespace {

using onvif::XmlEscape;

std::string Element(std::string_view name, std::string_view text) {
    return "<" + std::string(name) + ">" + XmlEscape(text) + "</" + std::string(name) + ">";
}

std::string Number(std::string_view name, std::int64_t value) {
    return Element(name, std::to_string(value));
}

}  // namespace

std::string SoapEnvelope(std::string_view payload) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<SOAP-ENV:Envelope xmlns:SOAP-ENV=\"http://www.w3.org/2003/05/soap-envelope\""
           " xmlns:tds=\"http://www.onvif.org/ver10/device/wsdl\""
           " xmlns:tt=\"http://www.onvif.org/ver10/schema\""
           " xmlns:ter=\"http://www.onvif.org/ver10/error\"><SOAP-ENV:Body>" +
           std::string(payload) + "</SOAP-ENV:Body></SOAP-ENV:Envelope>\n";
}

std::string SoapFault(std::string_view code, std::string_view subcode, std::string_view reason,
                      std::string_view innerSubcode) {
    const std::string inner = innerSubcode.empty() ? std::string()
                                                   : "<SOAP-ENV:Subcode><SOAP-ENV:Value>ter:" + std::string(innerSubcode) +
                                                         "</SOAP-ENV:Value></SOAP-ENV:Subcode>";
    return SoapEnvelope("<SOAP-ENV:Fault><SOAP-ENV:Code><SOAP-ENV:Value>SOAP-ENV:" + std::string(code) +
                        "</SOAP-ENV:Value><SOAP-ENV:Subcode><SOAP-ENV:Value>ter:" + std::string(subcode) +
                        "</SOAP-ENV:Value>" + inner + "</SOAP-ENV:Subcode></SOAP-ENV:Code><SOAP-ENV:Reason>"
                        "<SOAP-ENV:Text xml:lang=\"en\">" + XmlEscape(reason) +
                        "</SOAP-ENV:Text></SOAP-ENV:Reason></SOAP-ENV:Fault>");
}

std::string SystemDateAndTimeAnswer(std::int64_t deviceNow) {
    const std::time_t t = static_cast<std::time_t>(deviceNow);
    std::tm utc{};
    gmtime_r(&t, &utc);
    return SoapEnvelope(
        "<tds:GetSystemDateAndTimeResponse><tds:SystemDateAndTime>"
        "<tt:DateTimeType>Manual</tt:DateTimeType><tt:DaylightSavings>false</tt:DaylightSavings>"
        "<tt:TimeZone><tt:TZ>UTC0</tt:TZ></tt:TimeZone><tt:UTCDateTime><tt:Time>" +
        Number("tt:Hour", utc.tm_hour) + Number("tt:Minute", utc.tm_min) + Number("tt:Second", utc.tm_sec) +
        "</tt:Time><tt:Date>" + Number("tt:Year", utc.tm_year + 1900) + Number("tt:Month", utc.tm_mon + 1) +
        Number("tt:Day", utc.tm_mday) +
        "</tt:Date></tt:UTCDateTime></tds:SystemDateAndTime></tds:GetSystemDateAndTimeResponse>");
}

std::string DeviceInformationAnswer(const OnvifProfile& device) {
    return SoapEnvelope("<tds:GetDeviceInformationResponse>" + Element("tds:Manufacturer", device.manufacturer) +
                        Element("tds:Model", device.model) + Element("tds:FirmwareVersion", device.firmwareVersion) +
                        Element("tds:SerialNumber", device.serialNumber) +
                        Element("tds:HardwareId", device.hardwareId) + "</tds:GetDeviceInformationResponse>");
}

std::string ServicesAnswer(std::string_view serviceAddress, OnvifKind kind) {
    // Every service is reached through the device service's address here.
    auto service = [&](const char* ns) {
        return "<tds:Service>" + Element("tds:Namespace", ns) + Element("tds:XAddr", serviceAddress) +
               "<tds:Version><tt:Major>2</tt:Major><tt:Minor>60</tt:Minor></tds:Version></tds:Service>";
    };
    std::string services = service("http://www.onvif.org/ver10/device/wsdl");
    switch (kind) {
        case OnvifKind::Camera: services += service("http://www.onvif.org/ver10/media/wsdl"); break;
        case OnvifKind::Recorder:
            services += service("http://www.onvif.org/ver10/recording/wsdl") +
                        service("http://www.onvif.org/ver10/search/wsdl") +
                        service("http://www.onvif.org/ver10/receiver/wsdl");
            break;
        case OnvifKind::Decoder:
            services += service("http://www.onvif.org/ver10/display/wsdl") +
                        service("http://www.onvif.org/ver10/receiver/wsdl");
            break;
    }
    return SoapEnvelope("<tds:GetServicesResponse>" + services + "</tds:GetServicesResponse>");
}

// Only the Device category: the device has no other service.
std::string CapabilitiesAnswer(std::string_view serviceAddress) {
    return SoapEnvelope(
        "<tds:GetCapabilitiesResponse><tds:Capabilities><tt:Device>" + Element("tt:XAddr", serviceAddress) +
        "<tt:Network><tt:IPFilter>false</tt:IPFilter><tt:ZeroConfiguration>false</tt:ZeroConfiguration>"
        "<tt:IPVersion6>false</tt:IPVersion6><tt:DynDNS>false</tt:DynDNS></tt:Network>"
        "<tt:System><tt:DiscoveryResolve>false</tt:DiscoveryResolve><tt:DiscoveryBye>false</tt:DiscoveryBye>"
        "<tt:RemoteDiscovery>false</tt:RemoteDiscovery><tt:SystemBackup>false</tt:SystemBackup>"
        "<tt:SystemLogging>false</tt:SystemLogging><tt:FirmwareUpgrade>false</tt:FirmwareUpgrade>"
        "<tt:SupportedVersions><tt:Major>2</tt:Major><tt:Minor>60</tt:Minor></tt:SupportedVersions></tt:System>"
        "</tt:Device></tds:Capabilities></tds:GetCapabilitiesResponse>");
}

std::string NetworkInterfacesAnswer(const OnvifProfile& device) {
    const OnvifInterface& n = device.network;
    const std::string entry = "<tt:Address>" + XmlEscape(n.address) + "</tt:Address>" +
                              Number("tt:PrefixLength", n.prefixLength);
    return SoapEnvelope(
        "<tds:GetNetworkInterfacesResponse><tds:NetworkInterfaces token=\"" + XmlEscape(n.token) + "\">"
        "<tt:Enabled>true</tt:Enabled><tt:Info>" + Element("tt:Name", n.token) +
        Element("tt:HwAddress", n.hwAddress) + "<tt:MTU>1500</tt:MTU></tt:Info>"
        "<tt:IPv4><tt:Enabled>true</tt:Enabled><tt:Config>" +
        (n.dhcp ? "<tt:FromDHCP>" + entry + "</tt:FromDHCP>" : "<tt:Manual>" + entry + "</tt:Manual>") +
        Element("tt:DHCP", n.dhcp ? "true" : "false") +
        "</tt:Config></tt:IPv4></tds:NetworkInterfaces></tds:GetNetworkInterfacesResponse>");
}

std::string NetworkDefaultGatewayAnswer(const OnvifProfile& device) {
    return SoapEnvelope("<tds:GetNetworkDefaultGatewayResponse><tds:NetworkGateway>" +
                        (device.gateway.empty() ? std::string() : Element("tt:IPv4Address", device.gateway)) +
                        "</tds:NetworkGateway></tds:GetNetworkDefaultGatewayResponse>");
}

std::string DnsAnswer(const OnvifProfile& device) {
    std::string servers;
    for (const std::string& server : device.dns) {
        servers += "<tt:DNSManual><tt:Type>IPv4</tt:Type>" + Element("tt:IPv4Address", server) + "</tt:DNSManual>";
    }
    return SoapEnvelope("<tds:GetDNSResponse><tds:DNSInformation><tt:FromDHCP>false</tt:FromDHCP>" + servers +
                        "</tds:DNSInformation></tds:GetDNSResponse>");
}

std::string NetworkProtocolsAnswer(const OnvifProfile& device) {
    auto protocol = [](std::string_view name, int port) {
        return "<tds:NetworkProtocols>" + Element("tt:Name", name) + "<tt:Enabled>true</tt:Enabled>" +
               Number("tt:Port", port) + "</tds:NetworkProtocols>";
    };
    return SoapEnvelope("<tds:GetNetworkProtocolsResponse>" + protocol("HTTP", device.httpPort) +
                        protocol("RTSP", device.rtspPort) + "</tds:GetNetworkProtocolsResponse>");
}

std::string SetNetworkInterfacesAnswer(bool rebootNeeded) {
    return SoapEnvelope("<tds:SetNetworkInterfacesResponse>" +
                        Element("tds:RebootNeeded", rebootNeeded ? "true" : "false") +
                        "</tds:SetNetworkInterfacesResponse>");
}

std::string SetNetworkDefaultGatewayAnswer() {
    return SoapEnvelope("<tds:SetNetworkDefaultGatewayResponse/>");
}

std::string SystemRebootAnswer() {
    return SoapEnvelope("<tds:SystemRebootResponse><tds:Message>Rebooting in 5 seconds</tds:Message>"
                        "</tds:SystemRebootResponse>");
}

}  // namespace devsim
