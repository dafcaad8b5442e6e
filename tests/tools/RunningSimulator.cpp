// Starts kv_simulator for a test and waits for its ready line, never for a fixed time.
#include "RunningSimulator.h"

namespace toolstest {
namespace {

constexpr char kReadyPrefix[] = "READY ";

std::vector<std::string> WithProgram(const std::vector<std::string>& arguments) {
    std::vector<std::string> command{SimulatorPath()};
    command.insert(command.end(), arguments.begin(), arguments.end());
    return command;
}

} // namespace

std::string SimulatorPath() {
    return KV_SIMULATOR_PATH;
}

RunningSimulator::RunningSimulator(const std::vector<std::string>& arguments) : Child(WithProgram(arguments)) {
    const std::optional<std::string> line = Child.ReadLine();
    if (line && line->rfind(kReadyPrefix, 0) == 0) {
        Line = *line;
        Device = line->substr(sizeof kReadyPrefix - 1);
    }
}

} // namespace toolstest
