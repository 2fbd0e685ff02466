// libFuzzer target: arbitrary bytes as the body of a 200 reply to IO_UpData_Common.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "fuzz/UnevenSoapSource.h"
#include "mes/CS_QuerySN.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static platform::CXmlReader reader;  // reused across inputs, as a proxy reuses its reader
  mes::CS_QuerySN::IO_UpData_CommonParams params;
  params.OrderNo = u"in";
  mes::CSoapEnvelopeHandler handler;
  handler.SetClient(true);
  if (mes::SoapFailed(handler.BeginParse(mes::CS_QuerySN::IO_UpData_CommonMap(), &params))) abort();
  UnevenSoapSource body(data, size, 97);
  mes::SoapStatus status = handler.ParseReply(body, reader);
  if (mes::SoapFailed(status)) {
    handler.FreeReadValues();
    if (params.IO_UpData_CommonResult) abort();  // a failed parse must leave no result
  } else if (params.IO_UpData_CommonResult) {
    volatile std::size_t n = params.IO_UpData_CommonResult->size();
    (void)n;
  }
  handler.Reset();
  return 0;
}
