// The simulator's pseudo-terminal pair: the master side it serves on, the slave device a host opens.
#ifndef KV_SIMULATOR_PSEUDO_TERMINAL_H
#define KV_SIMULATOR_PSEUDO_TERMINAL_H

#include <string>

namespace simulator {

class PseudoTerminal {
public:
    PseudoTerminal() = default;
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;
    ~PseudoTerminal();

    // Opens a pair with both sides in raw mode and the master non-blocking. The simulator keeps a
    // descriptor of the slave open for its whole life, so a host may close and reopen the device
    // any number of times without the master seeing a hang-up. Returns false with `error` set.
    bool Open(std::string& error);

    int MasterFd() const { return Master; }
    const std::string& DevicePath() const { return Device; }

    // Bytes sent by the simulator that the host has not read yet.
    int PendingForHost() const;

    // Closes the master side: whoever has the device open sees a hang-up.
    void CloseMaster();

private:
    int Master = -1;
    int Slave = -1;
    std::string Device;
};

} // namespace simulator

#endif
