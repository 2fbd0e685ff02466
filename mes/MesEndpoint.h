// Where the MES web service is reached. The host is a deployment setting: the
// host program sets CMonitorDialog::m_strMesUrl; this is the default.
#pragma once

namespace mes::CS_QuerySN {

// "mes" is the name the factory network resolves to its MES server.
inline constexpr const char kDefaultMesUrl[] = "http://mes/querysn/cs_querysn.asmx";

}  // namespace mes::CS_QuerySN
