// The program's entry on Windows: prepare the process, then run one backup.
//
// A windowed program (no console of its own); the C runtime calls main for
// it too, and the arguments are read from the system's raw command line.
#include "platform/process.h"
#include "run/run_driver.h"

int main(int argc, char** argv) {
  platform::StartProcess(argc, argv);
  RunBackup();
}
