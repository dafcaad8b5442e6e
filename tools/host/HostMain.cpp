// Entry point of dyx_host, the command-line host that drives the KV serial driver through DyxMain.
#include <iostream>
#include <string>
#include <vector>

#include "HostCommands.h"

int main(int argc, char** argv) {
    return host::RunHost(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
