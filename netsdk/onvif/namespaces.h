// Namespace URIs of the messages this library writes and reads. Elements are
// always matched by URI and local name: devices pick their own prefixes.
#pragma once

namespace onvif::ns {

inline constexpr char kSoap12[] = "http://www.w3.org/2003/05/soap-envelope";
inline constexpr char kSoap11[] = "http://schemas.xmlsoap.org/soap/envelope/";
inline constexpr char kAddressing[] = "http://schemas.xmlsoap.org/ws/2004/08/addressing";
inline constexpr char kDiscovery[] = "http://schemas.xmlsoap.org/ws/2005/04/discovery";
inline constexpr char kNetwork[] = "http://www.onvif.org/ver10/network/wsdl";
inline constexpr char kDevice[] = "http://www.onvif.org/ver10/device/wsdl";
inline constexpr char kSchema[] = "http://www.onvif.org/ver10/schema";
inline constexpr char kError[] = "http://www.onvif.org/ver10/error";
inline constexpr char kDisplay[] = "http://www.onvif.org/ver10/display/wsdl";
inline constexpr char kRecording[] = "http://www.onvif.org/ver10/recording/wsdl";
inline constexpr char kReceiver[] = "http://www.onvif.org/ver10/receiver/wsdl";
inline constexpr char kSecurity[] =
    "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-secext-1.0.xsd";
inline constexpr char kUtility[] =
    "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-utility-1.0.xsd";
inline constexpr char kPasswordDigest[] =
    "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-username-token-profile-1.0#PasswordDigest";
inline constexpr char kBase64Binary[] =
    "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-soap-message-security-1.0#Base64Binary";

// Addressing constants of a multicast probe.
inline constexpr char kProbeAction[] = "http://schemas.xmlsoap.org/ws/2005/04/discovery/Probe";
inline constexpr char kProbeTo[] = "urn:schemas-xmlsoap-org:ws:2005:04:discovery";
inline constexpr char kAnonymous[] = "http://schemas.xmlsoap.org/ws/2004/08/addressing/role/anonymous";

}  // namespace onvif::ns
