// The technician's command on a station's MES outbox file:
//   mes-outbox list  OUTBOX [pending|refused|delivered|dropped|all]
//   mes-outbox retry OUTBOX ID     a refused (or dropped) report is sent again
//   mes-outbox drop  OUTBOX ID     a pending or refused report is never sent
//   mes-outbox prune OUTBOX DAYS   forget delivered and dropped reports older than that
// It works beside a running station (the station's worker picks a retried
// report up within its next look). Without a state, list shows the pending
// and refused reports.
#pragma once

#include <ostream>
#include <string>
#include <vector>

// Exit status: 0 done, 1 no report with that id in a state the command
// applies to, 2 wrong arguments or an unusable file.
int RunMesOutboxCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
