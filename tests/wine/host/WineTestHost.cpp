// The Windows test host: loads the driver as the host runtime does and runs named scenarios against it,
// printing PASS or FAIL for each and a closing count. With --plan it prints the simulated controllers
// the chosen scenarios need and the COM port each must be mapped to, for the runner to set up first.
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "Scenarios.h"

namespace winetest {
namespace {

// Controllers get COM1 upwards; COM9 stays free as the port with no device behind it.
constexpr unsigned kFirstControllerPort = 1;
constexpr unsigned kAbsentPortNumber = 9;
constexpr char kDefaultLibrary[] = "DYXWNKV.dll";
constexpr int kExitUsage = 64;

struct HostOptions {
    bool Plan = false;
    bool List = false;
    std::string Library = kDefaultLibrary;
    std::string TranscriptDirectory = ".";
    std::vector<std::string> Names;
};

bool ParseOptions(int argc, char** argv, HostOptions& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--plan") {
            options.Plan = true;
        } else if (argument == "--list") {
            options.List = true;
        } else if ((argument == "--library" || argument == "--transcripts") && i + 1 < argc) {
            (argument == "--library" ? options.Library : options.TranscriptDirectory) = argv[++i];
        } else if (argument.rfind("--", 0) == 0) {
            std::fprintf(stderr, "dyx_wine_host: unknown option %s\n", argument.c_str());
            return false;
        } else {
            options.Names.push_back(argument);
        }
    }
    return true;
}

// The chosen scenarios in table order, or null with a message when a name is unknown.
bool ChooseScenarios(const std::vector<Scenario>& all, const std::vector<std::string>& names,
                     std::vector<const Scenario*>& chosen) {
    std::set<std::string> wanted(names.begin(), names.end());
    for (const Scenario& scenario : all) {
        if (names.empty() || wanted.erase(scenario.Name) != 0) chosen.push_back(&scenario);
    }
    for (const std::string& unknown : wanted) std::fprintf(stderr, "dyx_wine_host: no scenario %s\n", unknown.c_str());
    return wanted.empty();
}

// The controller profiles the chosen scenarios use, each with its port number, in first-use order.
std::vector<std::pair<std::string, unsigned>> AssignPorts(const std::vector<const Scenario*>& chosen) {
    std::vector<std::pair<std::string, unsigned>> ports;
    unsigned next = kFirstControllerPort;
    for (const Scenario* scenario : chosen) {
        for (const std::string& profile : scenario->Controllers) {
            bool known = false;
            for (const auto& assigned : ports) known = known || assigned.first == profile;
            if (known) continue;
            if (next == kAbsentPortNumber) ++next;
            ports.emplace_back(profile, next++);
        }
    }
    return ports;
}

const ControllerProfile* FindProfile(const std::vector<ControllerProfile>& profiles, const std::string& name) {
    for (const ControllerProfile& profile : profiles) {
        if (profile.Name == name) return &profile;
    }
    return nullptr;
}

} // namespace

std::vector<ControllerProfile> AllControllerProfiles() {
    std::vector<Scenario> scenarios;
    std::vector<ControllerProfile> profiles = {kSharedController, kSpareController};
    AddFaultScenarios(scenarios, profiles);
    return profiles;
}

std::vector<Scenario> AllScenarios() {
    std::vector<Scenario> scenarios;
    std::vector<ControllerProfile> profiles;
    AddEntryScenarios(scenarios);
    AddLifecycleScenarios(scenarios);
    AddExchangeScenarios(scenarios);
    AddFaultScenarios(scenarios, profiles);
    return scenarios;
}

} // namespace winetest

int main(int argc, char** argv) {
    using namespace winetest;
    HostOptions options;
    if (!ParseOptions(argc, argv, options)) return kExitUsage;
    const std::vector<Scenario> all = AllScenarios();
    if (options.List) {
        for (const Scenario& scenario : all) std::printf("%s\n", scenario.Name.c_str());
        return 0;
    }
    std::vector<const Scenario*> chosen;
    if (!ChooseScenarios(all, options.Names, chosen)) return kExitUsage;
    const auto ports = AssignPorts(chosen);
    const std::vector<ControllerProfile> profiles = AllControllerProfiles();

    if (options.Plan) {
        // One line per controller: the port number, then the simulator's options.
        for (const auto& [profile, number] : ports) {
            std::printf("CONTROLLER %u %s\n", number, FindProfile(profiles, profile)->Options.c_str());
        }
        return 0;
    }

    DriverUnderTest driver;
    std::string error;
    if (!driver.Load(options.Library, error)) {
        std::printf("FAIL load: %s\n0 passed, %u failed\n", error.c_str(), static_cast<unsigned>(chosen.size()));
        return 1;
    }
    std::map<std::string, ControllerPort> controllers;
    for (const auto& [profile, number] : ports) {
        // Not "COMn.log": Windows takes a name such as COM1.log for the device COM1 itself.
        controllers[profile] = {PortName(number),
                                options.TranscriptDirectory + "\\port-" + std::to_string(number) + ".log"};
    }
    const char* tarnelLog = std::getenv("TARNEL_LOG");

    unsigned passed = 0;
    unsigned failed = 0;
    for (const Scenario* scenario : chosen) {
        Findings found;
        driver.ReportTo(&found);
        ScenarioContext context{driver, found, controllers, tarnelLog != nullptr ? tarnelLog : ""};
        scenario->Run(context, scenario->Detail);
        driver.ReportTo(nullptr);
        if (found.Empty()) {
            ++passed;
            std::printf("PASS %s\n", scenario->Name.c_str());
        } else {
            ++failed;
            std::printf("FAIL %s: %s\n", scenario->Name.c_str(), found.Summary().c_str());
        }
        std::fflush(stdout);
    }
    std::printf("%u passed, %u failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
