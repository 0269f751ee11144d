#include "netsdk/onvif/requests.h"

#include "netsdk/onvif/namespaces.h"
#include "netsdk/onvif/xml_escape.h"

namespace onvif {
namespace {

std::string Open(std::string_view extraNamespaces) {
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><s:Envelope xmlns:s=\"";
    out += ns::kSoap12;
    out += '"';
    out += extraNamespaces;
    out += '>';
    return out;
}

std::string NamespaceDecl(std::string_view prefix, std::string_view uri) {
    return " xmlns:" + std::string(prefix) + "=\"" + std::string(uri) + '"';
}

// A Device Management envelope around one body element.
std::string DeviceEnvelope(const std::string& body, const UsernameToken* token) {
    std::string out = Open(NamespaceDecl("tds", ns::kDevice) + NamespaceDecl("tt", ns::kSchema));
    if (token != nullptr) {
        const std::string security = SecurityHeader(*token);
        if (security.empty()) return {};
        out += "<s:Header>" + security + "</s:Header>";
    }
    out += "<s:Body>" + body + "</s:Body></s:Envelope>";
    return out;
}

const char* RequestBody(DeviceRequest request) {
    switch (request) {
        case DeviceRequest::GetSystemDateAndTime: return "<tds:GetSystemDateAndTime/>";
        case DeviceRequest::GetDeviceInformation: return "<tds:GetDeviceInformation/>";
        case DeviceRequest::GetNetworkInterfaces: return "<tds:GetNetworkInterfaces/>";
        case DeviceRequest::GetNetworkDefaultGateway: return "<tds:GetNetworkDefaultGateway/>";
        case DeviceRequest::GetDNS: return "<tds:GetDNS/>";
        case DeviceRequest::GetNetworkProtocols: return "<tds:GetNetworkProtocols/>";
        case DeviceRequest::GetServices:
            return "<tds:GetServices><tds:IncludeCapability>false</tds:IncludeCapability></tds:GetServices>";
        case DeviceRequest::SystemReboot: return "<tds:SystemReboot/>";
    }
    return "";
}

}  // namespace

std::string BuildProbe(std::string_view messageId, ProbeType type) {
    const bool transmitter = type == ProbeType::NetworkVideoTransmitter;
    std::string out = Open(NamespaceDecl("a", ns::kAddressing) + NamespaceDecl("d", ns::kDiscovery) +
                           (transmitter ? NamespaceDecl("dn", ns::kNetwork) : NamespaceDecl("tds", ns::kDevice)));
    out += "<s:Header><a:Action s:mustUnderstand=\"1\">";
    out += ns::kProbeAction;
    out += "</a:Action><a:MessageID>" + XmlEscape(messageId) + "</a:MessageID>";
    out += "<a:ReplyTo><a:Address>" + std::string(ns::kAnonymous) + "</a:Address></a:ReplyTo>";
    out += "<a:To s:mustUnderstand=\"1\">" + std::string(ns::kProbeTo) + "</a:To></s:Header>";
    out += "<s:Body><d:Probe><d:Types>";
    out += transmitter ? "dn:NetworkVideoTransmitter" : "tds:Device";
    out += "</d:Types></d:Probe></s:Body></s:Envelope>";
    return out;
}

std::string BuildRequest(DeviceRequest request, const UsernameToken* token) {
    return DeviceEnvelope(RequestBody(request), token);
}

std::string BuildSetNetworkInterfaces(std::string_view interfaceToken, std::string_view address,
                                      int prefixLength, const UsernameToken* token) {
    std::string body = "<tds:SetNetworkInterfaces><tds:InterfaceToken>" + XmlEscape(interfaceToken) +
                       "</tds:InterfaceToken><tds:NetworkInterface><tt:Enabled>true</tt:Enabled>";
    body += "<tt:IPv4><tt:Enabled>true</tt:Enabled><tt:Manual><tt:Address>" + XmlEscape(address) +
            "</tt:Address><tt:PrefixLength>" + std::to_string(prefixLength) + "</tt:PrefixLength></tt:Manual>";
    body += "<tt:DHCP>false</tt:DHCP></tt:IPv4></tds:NetworkInterface></tds:SetNetworkInterfaces>";
    return DeviceEnvelope(body, token);
}

std::string BuildSetNetworkDefaultGateway(std::string_view gateway, const UsernameToken* token) {
    return DeviceEnvelope("<tds:SetNetworkDefaultGateway><tds:IPv4Address>" + XmlEscape(gateway) +
                              "</tds:IPv4Address></tds:SetNetworkDefaultGateway>",
                          token);
}

}  // namespace onvif
