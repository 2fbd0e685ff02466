// A quick look whether a MES address answers at all, before the first unit.
#pragma once

#include <string>

namespace station {

// Empty when http://host[:port]/... accepts a TCP connection within
// nTimeoutMs; otherwise one line saying what is wrong with it.
std::string ProbeMesUrl(const std::string& strUrl, int nTimeoutMs = 3000);

}  // namespace station
