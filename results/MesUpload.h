// One IO_UpData_Common call to the MES service with a unit's values.
#pragma once

#include <string>

#include "results/MesUploadValues.h"

// Makes a new service client for strMesUrl, sends the values (texts as
// UTF-16), discards the service's answer text and destroys the client.
// True when the call succeeded.
bool SendMesUpload(const MesUploadValues& values, const std::string& strMesUrl);
