// The simulated controller's command set: turns one received command line into its reply text.
// Written from the controller's side of the line, independently of the driver's protocol code.
#ifndef KV_SIMULATOR_COMMAND_INTERPRETER_H
#define KV_SIMULATOR_COMMAND_INTERPRETER_H

#include <string>
#include <string_view>

#include "ControllerMemory.h"

namespace simulator {

// Replies that are not data.
inline constexpr std::string_view kReplyOk = "OK";
// The command is unknown, malformed, or not one this device takes.
inline constexpr std::string_view kReplyCommandError = "E0";
// The command is well formed but names a relay bit above 15 or a value above 65535.
inline constexpr std::string_view kReplyRangeError = "E1";

// Executes `command` (the line without its CR) against `memory` and returns the reply text without
// its CR LF. Every command gets a reply: data, "OK", "CC" for the link request, or an error reply.
std::string AnswerCommand(ControllerMemory& memory, std::string_view command);

} // namespace simulator

#endif
