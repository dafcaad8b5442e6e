// Command line of dyx_host: subcommands, addresses, line settings and their parsing.
#ifndef DYX_HOST_HOST_OPTIONS_H
#define DYX_HOST_HOST_OPTIONS_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace host {

enum class HostCommand { Describe, Check, Read, Write, Watch };

struct HostOptions {
    bool ShowHelp = false;
    HostCommand Command = HostCommand::Describe;
    std::vector<std::string> Addresses;
    std::uint16_t Value = 0; // write only
    std::string LibraryPath; // empty: DefaultLibraryPath()
    std::string Port;
    std::optional<std::uint16_t> Baud; // unset line settings take the driver's defaults
    std::optional<std::uint16_t> DataBits;
    std::optional<std::uint16_t> StopBitsCode;
    std::optional<std::uint16_t> ParityCode;
    std::optional<std::uint32_t> TimeoutMs;
    std::optional<std::uint32_t> DataType; // unset: guessed from each address
    std::uint32_t IntervalMs = 1000;
    std::optional<std::uint64_t> Count;
};

// Parses the arguments after the program name. Options may stand anywhere. Returns false with a
// message in `error` for a usage error; `options.ShowHelp` set means print the usage and stop.
bool ParseHostOptions(const std::vector<std::string>& arguments, HostOptions& options, std::string& error);

// The --help text.
std::string HostUsage();

// The data type for `address`: the --type given, else 6 (bit) for an address of 8 characters and
// 0 (word) for any other.
std::uint32_t DataTypeFor(const HostOptions& options, const std::string& address);

// The PortName to give the driver for `port`. The record holds at most 11 characters; a longer
// "/dev/NAME" becomes "NAME", which the driver looks up under /dev. False with a message in
// `error` when the name cannot be made to fit.
bool PortNameFor(const std::string& port, std::string& portName, std::string& error);

// The read time-out in the driver's 10 ms units, rounded up; 0 (the driver's default) when no
// --timeout was given.
std::uint32_t ReadTimeoutTenMs(const HostOptions& options);

} // namespace host

#endif
