// dyx_host's subcommands run against the loaded driver library.
#ifndef DYX_HOST_HOST_COMMANDS_H
#define DYX_HOST_HOST_COMMANDS_H

#include <ostream>
#include <string>
#include <vector>

namespace host {

// Runs dyx_host with `arguments` (without the program name), printing results to `out` and
// problems to `err`. Returns the exit status: 0 done, 1 refused, 2 communication failure, 64 usage
// error, 69 library not loadable, 70 a result the driver does not define.
int RunHost(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

} // namespace host

#endif
