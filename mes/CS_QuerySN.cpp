#include "mes/CS_QuerySN.h"

namespace mes::CS_QuerySN {
namespace {

using P = IO_UpData_CommonParams;

#define SOAP_ENTRY(member, type, flags)                                       \
  SoapMapEntry {                                                              \
    SoapNameHash(u## #member), #member, u## #member, type, flags,             \
        [](void* r) -> void* { return &static_cast<P*>(r)->member; }, nullptr \
  }

constexpr unsigned kInNil = kSoapIn | kSoapNullable;

const SoapMapEntry kEntries[] = {
    SOAP_ENTRY(OrderNo, kXsdString, kInNil),
    SOAP_ENTRY(SerialNumber, kXsdString, kInNil),
    SOAP_ENTRY(MacList, kXsdString, kInNil),
    SOAP_ENTRY(ComponentSnList, kXsdString, kInNil),
    SOAP_ENTRY(DealResult, kXsdString, kInNil),
    SOAP_ENTRY(BugType, kXsdString, kInNil),
    SOAP_ENTRY(BugReason, kXsdString, kInNil),
    SOAP_ENTRY(TempColumn1, kXsdBase64Binary, kInNil),
    SOAP_ENTRY(TempColumn2, kXsdBase64Binary, kInNil),
    SOAP_ENTRY(TempColumn3, kXsdBase64Binary, kInNil),
    SOAP_ENTRY(WorkStation, kXsdString, kInNil),
    SOAP_ENTRY(ToolType, kXsdString, kInNil),
    SOAP_ENTRY(Recorder, kXsdString, kInNil),
    SOAP_ENTRY(SystemType, kXsdInt, kSoapIn),
    SOAP_ENTRY(Version, kXsdString, kInNil),
    SOAP_ENTRY(IO_UpData_CommonResult, kXsdString, kSoapOut | kSoapNullable),
};

#undef SOAP_ENTRY

const SoapMap kMap = {
    SoapNameHash(u"IO_UpData_Common"),
    "IO_UpData_Common",
    u"IO_UpData_CommonResponse",
    kSoapFunctionMap,
    kEntries,
    sizeof kEntries / sizeof kEntries[0],
    sizeof(P),
    kSoapDocument | kSoapLiteral | kSoapParamsWrapped,
    "RO_dErodo",
    u"RO_dErodo",
    SoapNameHash(u"RO_dErodo"),
    [](void* r) { *static_cast<P*>(r) = P{}; },
};

}  // namespace

const SoapMap& IO_UpData_CommonMap() {
  return kMap;
}

}  // namespace mes::CS_QuerySN
