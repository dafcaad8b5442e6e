// Test support: a kv_simulator started for one test, ready once its ready line has been read.
#ifndef DYX_TOOLS_TESTS_RUNNING_SIMULATOR_H
#define DYX_TOOLS_TESTS_RUNNING_SIMULATOR_H

#include <string>
#include <vector>

#include "ChildProcess.h"

namespace toolstest {

class RunningSimulator {
public:
    // Starts the simulator built with these tests with `arguments` and reads its ready line.
    explicit RunningSimulator(const std::vector<std::string>& arguments);

    // True when the ready line "READY <device>" came.
    bool Ready() const { return !Device.empty(); }
    const std::string& DevicePath() const { return Device; }
    const std::string& ReadyLine() const { return Line; }
    ChildProcess& Process() { return Child; }

private:
    ChildProcess Child;
    std::string Line;
    std::string Device;
};

// The path of the kv_simulator these tests were built with.
std::string SimulatorPath();

} // namespace toolstest

#endif
