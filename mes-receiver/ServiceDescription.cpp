#include "mes-receiver/ServiceDescription.h"

namespace receiver {

namespace {

// Every text and blob may be sent as nil, none may be left out; SystemType is
// a plain int. The order is the order of the operation's arguments.
constexpr std::string_view kSchemaBody = R"(
    <xs:element name="IO_UpData_Common">
      <xs:complexType>
        <xs:sequence>
          <xs:element name="OrderNo" type="xs:string" nillable="true"/>
          <xs:element name="SerialNumber" type="xs:string" nillable="true"/>
          <xs:element name="MacList" type="xs:string" nillable="true"/>
          <xs:element name="ComponentSnList" type="xs:string" nillable="true"/>
          <xs:element name="DealResult" type="xs:string" nillable="true"/>
          <xs:element name="BugType" type="xs:string" nillable="true"/>
          <xs:element name="BugReason" type="xs:string" nillable="true"/>
          <xs:element name="TempColumn1" type="xs:base64Binary" nillable="true"/>
          <xs:element name="TempColumn2" type="xs:base64Binary" nillable="true"/>
          <xs:element name="TempColumn3" type="xs:base64Binary" nillable="true"/>
          <xs:element name="WorkStation" type="xs:string" nillable="true"/>
          <xs:element name="ToolType" type="xs:string" nillable="true"/>
          <xs:element name="Recorder" type="xs:string" nillable="true"/>
          <xs:element name="SystemType" type="xs:int"/>
          <xs:element name="Version" type="xs:string" nillable="true"/>
        </xs:sequence>
      </xs:complexType>
    </xs:element>
    <xs:element name="IO_UpData_CommonResponse">
      <xs:complexType>
        <xs:sequence>
          <xs:element name="IO_UpData_CommonResult" type="xs:string" minOccurs="0" nillable="true"/>
        </xs:sequence>
      </xs:complexType>
    </xs:element>
)";

constexpr std::string_view kSchemaStart =
    R"(<xs:schema xmlns:xs="http://www.w3.org/2001/XMLSchema" targetNamespace="RO_dErodo" elementFormDefault="qualified">)";
constexpr std::string_view kSchemaEnd = "</xs:schema>";

}  // namespace

const std::string& OperationSchema() {
  static const std::string schema = std::string(R"(<?xml version="1.0" encoding="utf-8"?>)") + "\n" +
                                    std::string(kSchemaStart) + std::string(kSchemaBody) + std::string(kSchemaEnd) +
                                    "\n";
  return schema;
}

std::string ServiceWsdl(const std::string& endpointUrl) {
  std::string w = R"(<?xml version="1.0" encoding="utf-8"?>
<wsdl:definitions xmlns:wsdl="http://schemas.xmlsoap.org/wsdl/" xmlns:soap="http://schemas.xmlsoap.org/wsdl/soap/"
    xmlns:tns="RO_dErodo" xmlns:xs="http://www.w3.org/2001/XMLSchema" targetNamespace="RO_dErodo" name="CS_QuerySN">
  <wsdl:types>
    )";
  w += kSchemaStart;
  w += kSchemaBody;
  w += kSchemaEnd;
  w += R"(
  </wsdl:types>
  <wsdl:message name="IO_UpData_CommonSoapIn"><wsdl:part name="parameters" element="tns:IO_UpData_Common"/></wsdl:message>
  <wsdl:message name="IO_UpData_CommonSoapOut"><wsdl:part name="parameters" element="tns:IO_UpData_CommonResponse"/></wsdl:message>
  <wsdl:portType name="CS_QuerySNSoap">
    <wsdl:operation name="IO_UpData_Common">
      <wsdl:input message="tns:IO_UpData_CommonSoapIn"/>
      <wsdl:output message="tns:IO_UpData_CommonSoapOut"/>
    </wsdl:operation>
  </wsdl:portType>
  <wsdl:binding name="CS_QuerySNSoap" type="tns:CS_QuerySNSoap">
    <soap:binding transport="http://schemas.xmlsoap.org/soap/http"/>
    <wsdl:operation name="IO_UpData_Common">
      <soap:operation soapAction="RO_dErodo/IO_UpData_Common" style="document"/>
      <wsdl:input><soap:body use="literal"/></wsdl:input>
      <wsdl:output><soap:body use="literal"/></wsdl:output>
    </wsdl:operation>
  </wsdl:binding>
  <wsdl:service name="CS_QuerySN">
    <wsdl:port name="CS_QuerySNSoap" binding="tns:CS_QuerySNSoap">
      <soap:address location=")";
  for (char c : endpointUrl) {  // the URL comes from the request's Host line
    if (c == '&')
      w += "&amp;";
    else if (c == '<')
      w += "&lt;";
    else if (c == '"')
      w += "&quot;";
    else
      w += c;
  }
  w += R"("/>
    </wsdl:port>
  </wsdl:service>
</wsdl:definitions>
)";
  return w;
}

}  // namespace receiver
