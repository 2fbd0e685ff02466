// mes-outbox: see and act on the reports in a station's MES outbox.
#include <iostream>

#include "tools/mes-outbox/MesOutboxCommand.h"

int main(int argc, char** argv) {
  return RunMesOutboxCommand(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
