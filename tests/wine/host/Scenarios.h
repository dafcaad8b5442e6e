// The scenarios the Windows test host runs, and the simulated controllers they need.
#ifndef DYX_WINE_SCENARIOS_H
#define DYX_WINE_SCENARIOS_H

#include <string>
#include <vector>

#include "TestSupport.h"

namespace winetest {

// A simulated controller: a name the scenarios use for it, and the simulator's options.
struct ControllerProfile {
    std::string Name;
    std::string Options;
};

struct Scenario {
    std::string Name;
    void (*Run)(ScenarioContext& context, const void* detail);
    const void* Detail;                   // the scenario's table row, for table-driven scenarios
    std::vector<std::string> Controllers; // profile names, in the order of the ports they get
};

// The shared controller with the initial values the read table expects, and a second one that answers
// with other values, so a read shows which port it went to.
extern const ControllerProfile kSharedController;
extern const ControllerProfile kSpareController;

// Every scenario, in the order they run. Scenarios that share the shared controller leave its memory
// as the later ones expect.
std::vector<Scenario> AllScenarios();
// Every controller profile a scenario may name.
std::vector<ControllerProfile> AllControllerProfiles();

void AddEntryScenarios(std::vector<Scenario>& scenarios);
void AddLifecycleScenarios(std::vector<Scenario>& scenarios);
void AddExchangeScenarios(std::vector<Scenario>& scenarios);
void AddFaultScenarios(std::vector<Scenario>& scenarios, std::vector<ControllerProfile>& profiles);

} // namespace winetest

#endif
