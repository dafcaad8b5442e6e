// Scenarios that need no controller: the stack check itself, how the library loads and what it
// exports and imports, the description with its banner, and the address checks.
#include <cstring>

#include "Scenarios.h"

namespace winetest {
namespace {

constexpr std::uint32_t kStdcallSample = 7;

std::uint32_t __cdecl CdeclSample(const DriverRequest*) {
    return kStdcallSample;
}

std::uint32_t __stdcall StdcallSample(const DriverRequest*) {
    return kStdcallSample;
}

} // namespace
} // namespace winetest

// A stdcall callee that forgets to preserve EBX.
extern "C" std::uint32_t __stdcall ClobberingSample(const DriverRequest*);
asm(R"(
    .text
    .globl _ClobberingSample@4
    .def _ClobberingSample@4; .scl 2; .type 32; .endef
_ClobberingSample@4:
    xorl %ebx, %ebx
    movl $7, %eax
    ret $4
)");

namespace winetest {
namespace {

// The stack check must catch a callee of the wrong convention, or it proves nothing about DyxMain.
void RunStackCheck(ScenarioContext& context, const void*) {
    struct StackCase {
        const char* Callee;
        EntryPoint Entry;
        std::int32_t StackDelta;
        std::uint32_t Clobbered;
    };
    const StackCase cases[] = {
        {"stdcall callee", StdcallSample, 0, 0},
        {"cdecl callee", reinterpret_cast<EntryPoint>(reinterpret_cast<void*>(CdeclSample)), -4, 0},
        {"callee that changes EBX", ClobberingSample, 0, kClobberedEbx},
    };
    DriverRequest request{};
    for (const StackCase& c : cases) {
        StackReport report{};
        const std::uint32_t result = CallWithStackCheck(c.Entry, &request, &report);
        context.Found.ExpectEqual(std::string(c.Callee) + " result", result, kStdcallSample);
        context.Found.ExpectEqual(std::string(c.Callee) + " stack pointer change", report.StackDelta, c.StackDelta);
        context.Found.ExpectEqual(std::string(c.Callee) + " clobbered mask", report.ClobberedRegisters, c.Clobbered);
    }
}

// The driver's import of err, read from its import table in memory: the address the loader bound.
const void* BoundHostImport(HMODULE module, std::string& importNames) {
    auto* base = reinterpret_cast<const unsigned char*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* headers = reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory = headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    const auto* descriptor = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
    const void* bound = nullptr;
    for (; descriptor->Name != 0; ++descriptor) {
        if (_stricmp(reinterpret_cast<const char*>(base + descriptor->Name), "TARNEL.DLL") != 0) continue;
        const auto* names = reinterpret_cast<const IMAGE_THUNK_DATA32*>(base + descriptor->OriginalFirstThunk);
        const auto* addresses = reinterpret_cast<const IMAGE_THUNK_DATA32*>(base + descriptor->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++addresses) {
            if (!importNames.empty()) importNames += ",";
            if (IMAGE_SNAP_BY_ORDINAL32(names->u1.Ordinal)) {
                importNames += "#" + std::to_string(IMAGE_ORDINAL32(names->u1.Ordinal));
                continue;
            }
            const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            importNames += reinterpret_cast<const char*>(byName->Name);
            bound = reinterpret_cast<const void*>(static_cast<std::uintptr_t>(addresses->u1.Function));
        }
    }
    return bound;
}

void RunEntry(ScenarioContext& context, const void*) {
    Findings& found = context.Found;
    DriverUnderTest& driver = context.Driver;
    found.Expect(!driver.HostLibraryLoadedBefore(), "TARNEL.DLL was loaded before the driver");
    found.Expect(driver.HostLibrary() != nullptr, "loading the driver did not load TARNEL.DLL");
    for (const char* decorated : {"DyxMain@4", "_DyxMain@4", "_DyxMain"}) {
        found.Expect(GetProcAddress(driver.Library(), decorated) == nullptr,
                     std::string("the library also exports ") + decorated);
    }
    if (driver.HostLibrary() != nullptr) {
        std::string importNames;
        const void* bound = BoundHostImport(driver.Library(), importNames);
        found.ExpectEqual("imports from TARNEL.DLL", importNames, std::string("err"));
        found.Expect(bound != nullptr &&
                         bound == reinterpret_cast<const void*>(GetProcAddress(driver.HostLibrary(), "err")),
                     "the driver's err is not the err of the TARNEL.DLL the test reads");
    }
    // Codes without an operation answer 1 and touch neither record, so null records are safe.
    for (std::uint32_t code : {0u, 4u, 6u, 8u, 9u, 10u, 16u, 255u, 0xFFFFFFFFu}) {
        found.ExpectEqual("code " + std::to_string(code) + " result", driver.Call(code, nullptr, nullptr),
                          std::uint32_t{DYX_REFUSED});
    }
}

std::string BoxEdge(char left, char right) {
    return std::string(" ") + left + std::string(59, '\xCD') + right + "\n";
}

std::string BoxLine(const std::string& inside) {
    return std::string(" \xBA") + inside + "\xBA\n";
}

// The banner as the driver's description promises it, line 5 (the version line) aside.
std::string ExpectedBanner(const std::string& versionLine) {
    const std::string shading = std::string(6, '\xB2') + std::string(6, '\xB1') + std::string(6, '\xB0');
    const std::string shadingBack = std::string(6, '\xB0') + std::string(6, '\xB1') + std::string(6, '\xB2');
    std::string banner = "\n";
    banner += BoxEdge('\xC9', '\xBB');
    banner +=
        BoxLine(" " + std::string(5, '\xDB') + shading + " D Y X K V " + shadingBack + std::string(5, '\xDB') + " ");
    banner += BoxLine(std::string(10, ' ') + "KEYENCE KV Series , driver Installed." + std::string(12, ' '));
    banner += BoxLine(std::string(9, ' ') + "KEYENCE Super Micro PLC -  ascii Protocol" + std::string(9, ' '));
    banner += versionLine;
    banner += BoxEdge('\xC8', '\xBC');
    return banner;
}

void CheckVersionLine(Findings& found, const std::string& line) {
    const std::string ending = "Version 7.00";
    if (!found.Expect(line.size() == 63 && line.compare(0, 2, " \xBA") == 0 && line.compare(61, 2, "\xBA\n") == 0,
                      "the version line is not a 59-column box line: \"" + EscapeBytes(line) + "\"")) {
        return;
    }
    const std::string inside = line.substr(2, 59);
    const std::size_t first = inside.find_first_not_of(' ');
    const std::size_t last = inside.find_last_not_of(' ');
    if (!found.Expect(first != std::string::npos, "the version line is empty")) return;
    const std::string text = inside.substr(first, last - first + 1);
    const std::size_t rightSpaces = 59 - 1 - last;
    found.Expect(text.size() >= ending.size() && text.compare(text.size() - ending.size(), ending.size(), ending) == 0,
                 "the version line \"" + text + "\" does not end in \"" + ending + "\"");
    found.Expect(first <= rightSpaces + 1 && rightSpaces <= first + 1,
                 "the version line is not centred: " + std::to_string(first) + " spaces left, " +
                     std::to_string(rightSpaces) + " right");
}

void RunDescribe(ScenarioContext& context, const void*) {
    Findings& found = context.Found;
    DriverDescription first;
    std::memset(&first, 0xCC, sizeof first);
    found.ExpectEqual("describe result", context.Driver.Call(DYX_DESCRIBE_DRIVER, nullptr, &first),
                      std::uint32_t{DYX_DONE});
    found.ExpectEqual("first word", first.FirstWord, 70u);
    found.ExpectEqual("StateSize", first.StateSize, kStateSize);
    found.ExpectEqual("fifth word", first.FifthWord, 4u);
    found.ExpectEqual("default baud", first.DefaultSerialParams.Baud, 9600);
    found.ExpectEqual("default data bits", first.DefaultSerialParams.DataBits, 8);
    found.ExpectEqual("default stop bits code", first.DefaultSerialParams.StopBitsCode, 0);
    found.ExpectEqual("default parity code", first.DefaultSerialParams.ParityCode, 2);
    found.ExpectEqual("last word", first.LastWord, 0u);
    if (!found.Expect(first.DriverName != nullptr && first.Banner != nullptr, "a text pointer is null")) return;
    found.ExpectEqual("DriverName", std::string(first.DriverName), std::string("KEYENCE KV Series"));

    const std::string banner(first.Banner);
    found.ExpectEqual("banner length", banner.size(), std::size_t{379});
    if (banner.size() == 379) {
        const std::string versionLine = banner.substr(1 + 4 * 63, 63);
        CheckVersionLine(found, versionLine);
        const std::string expected = ExpectedBanner(versionLine);
        for (std::size_t i = 0; i < expected.size(); ++i) {
            if (banner[i] != expected[i]) {
                found.Fail("banner byte " + std::to_string(i) + " is \"" + EscapeBytes(banner.substr(i, 1)) +
                           "\", expected \"" + EscapeBytes(expected.substr(i, 1)) + "\"");
                break;
            }
        }
    }

    // The same constants and the same two texts on every call, whatever State holds.
    DriverDescription second;
    std::memset(&second, 0, sizeof second);
    std::vector<unsigned char> anyState(kStateSize, 0x77);
    found.ExpectEqual(
        "second describe result",
        context.Driver.Call(DYX_DESCRIBE_DRIVER, reinterpret_cast<ChannelState*>(anyState.data()), &second),
        std::uint32_t{DYX_DONE});
    found.Expect(std::memcmp(&first, &second, sizeof first) == 0, "a second description differs from the first");
    found.Expect(anyState == std::vector<unsigned char>(kStateSize, 0x77),
                 "describe wrote into the State it was given");
}

struct AddressCase {
    const char* Text;
    std::uint32_t DataType;
    std::uint32_t Result;
    const char* Field; // the channel's AddressField afterwards (8 characters), or null where it is not fixed
};

const AddressCase kAddressCases[] = {
    {"dm$1234", 0, 0, "DM$1234 "},
    {"DM$1234", 1, 0, "DM$1234 "},
    {"DM$1234", 6, 1, "DM$1234 "}, // a word device asked for as a bit
    {"ER$1234", 0, 0, "ER$1234 "},
    {"ER$12345", 6, 0, "ER$12345"},
    {"RD$00105", 6, 0, "RD$00105"},
    {"M$$00000", 6, 0, "M$$00000"},
    {"AT01234", 0, 0, "AT01234 "},
    {"AT10000", 1, 0, "AT10000 "},
    {"RCC00003", 6, 0, "RCC00003"},
    {"RC20003", 0, 0, "RC20003 "},
    {"DM$12", 0, 1, "DM$12   "},    // too few digits
    {"DM$12345", 0, 0, "DM$12345"}, // the fifth digit is not examined for a word
    {"RD$0010", 6, 1, "RD$0010 "},
    {"DM$12a4", 0, 1, "DM$12A4 "},
    {"", 0, 1, "        "},
    {"DM$1234", 2, 1, "DM$1234 "},
    {"RD$00105", 0x106, 0, "RD$00105"}, // only the low 8 bits of the data type count
    {"DM$1234", 0x100, 0, "DM$1234 "},
    {"dm{1234", 0, 1, "DM[1234 "}, // 0x7B is upper-cased to 0x5B
    {"DM$123456", 0, 1, nullptr},  // longer than the address field
};

void RunAddresses(ScenarioContext& context, const void*) {
    Findings& found = context.Found;
    TestChannel channel(context.Driver, found);
    for (const AddressCase& c : kAddressCases) {
        AddressParams params;
        std::memset(&params, 0xEE, sizeof params);
        params.AddressText = c.Text;
        params.DataType = c.DataType;
        const std::string what = std::string("\"") + c.Text + "\" as " + std::to_string(c.DataType);
        found.ExpectEqual(what + " result", context.Driver.Call(DYX_VALIDATE_ADDRESS, &channel.State(), &params),
                          c.Result);
        const std::uint32_t written[5] = {0, 0, 0, 255, 16};
        const std::uint32_t untouched[5] = {0xEEEEEEEE, 0xEEEEEEEE, 0xEEEEEEEE, 0xEEEEEEEE, 0xEEEEEEEE};
        found.Expect(std::memcmp(params.ResultWords, c.Result == 0 ? written : untouched, sizeof written) == 0,
                     what + " result words");
        found.Expect(params.HostWord1 == 0xEEEEEEEE && params.HostWord3 == 0xEEEEEEEE, what + " host's words changed");
        if (c.Field != nullptr) {
            found.ExpectEqual(what + " AddressField", std::string(channel.State().AddressField, 8),
                              std::string(c.Field));
        }
    }
    found.Expect(channel.State().PortHandle == nullptr, "an address check opened a port");
    channel.CheckGuard();
}

} // namespace

void AddEntryScenarios(std::vector<Scenario>& scenarios) {
    scenarios.push_back({"stack-check", RunStackCheck, nullptr, {}});
    scenarios.push_back({"entry", RunEntry, nullptr, {}});
    scenarios.push_back({"describe", RunDescribe, nullptr, {}});
    scenarios.push_back({"addresses", RunAddresses, nullptr, {}});
}

} // namespace winetest
