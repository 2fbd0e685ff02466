#include "results/MesUpload.h"
#include "results/ResultSummary.h"

int UploadResultSummary(ResultListSnapshot& panel, const ResultStructrue* pResult,
                        const std::string& strMesUrl) {
  if (pResult == nullptr) return 0;
  std::optional<MesUploadValues> values = WriteResultSummary(panel, *pResult);
  if (!values) return 0;
  return SendMesUpload(*values, strMesUrl) ? 1 : 0;
}
