#include "results/MesUpload.h"
#include "results/ResultSummary.h"

namespace results {

int UploadResultSummary(ResultListSnapshot& panel, const ResultStructrue* pResult, const std::string& strMesUrl) {
  return UploadResultSummary(panel, pResult, strMesUrl, SendMesUpload);
}

int UploadResultSummary(ResultListSnapshot& panel, const ResultStructrue* pResult, const std::string& strMesUrl,
                        const MesUploadSender& send) {
  if (pResult == nullptr) return 0;
  std::optional<MesUploadValues> values = WriteResultSummary(panel, *pResult);
  if (!values) return 0;
  return send(*values, strMesUrl) ? 1 : 0;
}

}  // namespace results
