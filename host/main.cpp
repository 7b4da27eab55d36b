// envhost: the reference host of EnvironmentSystem.
#include "host/HostCommands.h"

int main(int argc, char** argv) { return envhost::RunCommandLine(argc, argv); }
