// The program's entry on POSIX: prepare the process, then run one backup.
#include "platform/process.h"
#include "run/run_driver.h"

int main(int argc, char** argv) {
  platform::StartProcess(argc, argv);
  RunBackup();
}
