// Reads and writes of every device family against the shared controller, each checked by its result,
// the value the host sees, and the exact bytes of the line the controller received and answered.
#include "Scenarios.h"

namespace winetest {
namespace {

constexpr std::uint32_t kReadTimeoutTenMs = 100;
constexpr std::uint16_t kUntouched = 0xBEEF;
constexpr std::uint8_t kHostByte = 0xA5;

struct ExchangeCase {
    const char* Address;
    std::uint32_t DataType;
    std::uint16_t ValueIn; // written by a write; the value the record holds before a read
    std::uint32_t Result;
    std::uint16_t ValueOut; // what the record holds afterwards
    const char* Command;    // the line the controller receives, or null when nothing may be sent
    const char* Reply;      // the controller's answer
};

// Against the shared controller's initial values. "ER" clears the error code, so the second "?E"
// answers 00.
const ExchangeCase kReadCases[] = {
    {"DM$1234", 0, kUntouched, 0, 42, "RD DM1234\r", "00042\r\n"},
    {"dm$9999", 1, kUntouched, 0, 65535, "RD DM9999\r", "65535\r\n"},
    {"TM$0012", 0, kUntouched, 0, 7, "RD TM12\r", "00007\r\n"},
    {"RD$00105", 6, kUntouched, 0, 1, "RD 00105\r", "1\r\n"},
    {"RD$00106", 6, kUntouched, 0, 0, "RD 00106\r", "0\r\n"},
    {"RC$00012", 6, kUntouched, 0, 1, "RD C012\r", "1,00345,00678\r\n"},
    {"RCR0012", 0, kUntouched, 0, 345, "RD C012\r", "1,00345,00678\r\n"},
    {"RCP0012", 0, kUntouched, 0, 678, "RD C012\r", "1,00345,00678\r\n"},
    {"RT$00005", 6, kUntouched, 0, 1, "RD T005\r", "1,00111,00222\r\n"},
    {"RTR0005", 0, kUntouched, 0, 111, "RD T005\r", "1,00111,00222\r\n"},
    {"RTP0005", 0, kUntouched, 0, 222, "RD T005\r", "1,00111,00222\r\n"},
    {"RH$00001", 6, kUntouched, 0, 1, "RD CTH1\r", "1,01234,04321\r\n"},
    {"RHR0001", 0, kUntouched, 0, 1234, "RD CTH1\r", "1,01234,04321\r\n"},
    {"RHP0001", 0, kUntouched, 0, 4321, "RD CTH1\r", "1,01234,04321\r\n"},
    {"RCC00003", 6, kUntouched, 0, 0, "RD CTC3\r", "0,00555,00666\r\n"},
    {"RC10003", 0, kUntouched, 0, 555, "RD CTC3\r", "0,00555,00666\r\n"},
    {"RC20003", 0, kUntouched, 0, 666, "RD CTC3\r", "0,00555,00666\r\n"},
    {"AT00000", 0, kUntouched, 0, 12, "RD AT\r", "00012,00034,00056,00078\r\n"},
    {"AT10000", 0, kUntouched, 0, 34, "RD AT\r", "00012,00034,00056,00078\r\n"},
    {"M$$00000", 6, kUntouched, 0, 1, "?M\r", "1\r\n"},
    {"ER$0000", 0, kUntouched, 0, 3, "?E\r", "03\r\n"},
    {"RK$0000", 0, kUntouched, 0, 50, "?K\r", "0050\r\n"},
    {"ER$00000", 6, kUntouched, 0, 0, "ER\r", "OK\r\n"},
    {"ER$0000", 0, kUntouched, 0, 0, "?E\r", "00\r\n"},
    {"DM$12AB", 0, kUntouched, 1, kUntouched, "RD DM12AB\r", "E0\r\n"}, // sent unchecked; the error reply is refused
    {"DM$1234", 6, kUntouched, 1, kUntouched, nullptr, nullptr},        // no bit device "DM$"
    {"XY$1234", 0, kUntouched, 1, kUntouched, nullptr, nullptr},
    {"DM$1234", 2, kUntouched, 1, kUntouched, nullptr, nullptr},
};

// On items the read table does not use; the table ends with the mode back at 1, as the reads expect.
const ExchangeCase kWriteCases[] = {
    {"DM$2000", 0, 42, 0, 42, "WR DM2000 00042\r", "OK\r\n"},
    {"DM$2001", 1, 0, 0, 0, "WR DM2001 00000\r", "OK\r\n"},
    {"DM$2002", 0, 65535, 0, 65535, "WR DM2002 65535\r", "OK\r\n"},
    {"TM$0020", 0, 7, 0, 7, "WR TM20 00007\r", "OK\r\n"},
    {"RCR0020", 0, 100, 0, 100, "WR C020 00100\r", "OK\r\n"},
    {"RCP0020", 0, 100, 0, 100, "WS C020 00100\r", "OK\r\n"},
    {"RTR0030", 0, 300, 0, 300, "WR T030 00300\r", "OK\r\n"},
    {"RTP0030", 0, 301, 0, 301, "WS T030 00301\r", "OK\r\n"},
    {"RHR0002", 0, 300, 0, 300, "WR CTH2 00300\r", "OK\r\n"},
    {"RC20004", 0, 300, 0, 300, "WS CTC4 00300\r", "OK\r\n"},
    {"RD$00206", 6, 1, 0, 1, "ST 00206\r", "OK\r\n"},
    {"RD$00206", 6, 0, 0, 0, "RS 00206\r", "OK\r\n"},
    {"RD$00206", 6, 2, 0, 2, "RS 00206\r", "OK\r\n"},
    {"RC$00020", 6, 1, 0, 1, "ST C020\r", "OK\r\n"},
    {"RT$00030", 6, 0, 0, 0, "RS T030\r", "OK\r\n"},
    {"RCC00004", 6, 0, 0, 0, "RS CTC4\r", "OK\r\n"},
    {"RCC00004", 6, 1, 1, 1, nullptr, nullptr}, // a comparator can only be reset
    {"M$$00000", 6, 5, 0, 5, "M0\r", "OK\r\n"},
    {"M$$00000", 6, 1, 0, 1, "M1\r", "OK\r\n"},
    {"DM$12AB", 0, 1, 1, 1, "WR DM12AB 00001\r", "E0\r\n"}, // an error reply is refused at once
    {"RHP0001", 0, 9, 1, 9, nullptr, nullptr},
    {"RC10001", 0, 9, 1, 9, nullptr, nullptr},
    {"ER$0000", 0, 9, 1, 9, nullptr, nullptr},
    {"RK$0000", 0, 9, 1, 9, nullptr, nullptr},
    {"AT00000", 0, 9, 1, 9, nullptr, nullptr},
    {"AT10000", 0, 9, 1, 9, nullptr, nullptr},
    {"ER$00000", 6, 9, 1, 9, nullptr, nullptr},
    {"RH$00001", 6, 9, 1, 9, nullptr, nullptr},
    {"DM$1234", 6, 9, 1, 9, nullptr, nullptr},
};

struct ExchangeTable {
    const ExchangeCase* Cases;
    std::size_t Count;
    bool Writes;
};

const ExchangeTable kReads = {kReadCases, sizeof kReadCases / sizeof kReadCases[0], false};
const ExchangeTable kWrites = {kWriteCases, sizeof kWriteCases / sizeof kWriteCases[0], true};

void RunExchanges(ScenarioContext& context, const void* detail) {
    const auto& table = *static_cast<const ExchangeTable*>(detail);
    Findings& found = context.Found;
    const ControllerPort& port = context.Controller(kSharedController.Name);
    const ControllerTranscript lines(port.TranscriptPath);
    std::size_t cursor = lines.Read().size();
    TestChannel channel(context.Driver, found);
    found.ExpectEqual("open result", channel.Open(port.PortName, kReadTimeoutTenMs), std::uint32_t{DYX_DONE});

    // The first exchange brings the link up on its own.
    bool linkUp = false;
    for (std::size_t i = 0; i < table.Count; ++i) {
        const ExchangeCase& c = table.Cases[i];
        const std::string what = std::string(table.Writes ? "write " : "read ") + c.Address + " as " +
                                 std::to_string(c.DataType) + " (" + std::to_string(c.ValueIn) + ")";
        unsigned char record[8] = {kHostByte, kHostByte, 0, 0, kHostByte, kHostByte, kHostByte, kHostByte};
        auto& item = *reinterpret_cast<ItemValue*>(record);
        item.Value = c.ValueIn;
        const std::uint32_t result =
            table.Writes ? channel.Write(c.Address, c.DataType, item) : channel.Read(c.Address, c.DataType, item);
        found.ExpectEqual(what + " result", result, c.Result);
        found.ExpectEqual(what + " value", item.Value, c.ValueOut);
        found.Expect(record[0] == kHostByte && record[1] == kHostByte && record[4] == kHostByte &&
                         record[7] == kHostByte,
                     what + " wrote outside Value");
        std::vector<LineRecord> expected;
        if (!linkUp) {
            expected = {Rx("CR\r"), Tx("CC\r\n")};
            linkUp = true;
        }
        if (c.Command != nullptr) {
            expected.push_back(Rx(c.Command));
            expected.push_back(Tx(c.Reply));
        }
        ExpectLines(found, lines, cursor, expected, what);
    }
    found.ExpectEqual("LinkUp at the end", channel.State().LinkUp, 1);
    found.ExpectEqual("close result", channel.Close(), std::uint32_t{DYX_DONE});
    found.ExpectEqual("lines on the port", lines.Read().size(), cursor);
    channel.CheckGuard();
}

} // namespace

const ControllerProfile kSharedController = {
    "controller", "--set DM1234=42 --set DM9999=65535 --set TM12=7 --set 00105=1 "
                  "--set C012.contact=1 --set C012=345 --set C012.preset=678 "
                  "--set T005.contact=1 --set T005=111 --set T005.preset=222 "
                  "--set CTH1.contact=1 --set CTH1=1234 --set CTH1.preset=4321 "
                  "--set CTC3=555 --set CTC3.preset=666 "
                  "--set AT0=12 --set AT1=34 --set AT2=56 --set AT3=78 --set MODE=1 --set ERROR=3 --set MODEL=50"};
const ControllerProfile kSpareController = {"spare", "--set DM1234=4242"};

void AddExchangeScenarios(std::vector<Scenario>& scenarios) {
    scenarios.push_back({"reads", RunExchanges, &kReads, {kSharedController.Name}});
    scenarios.push_back({"writes", RunExchanges, &kWrites, {kSharedController.Name}});
}

} // namespace winetest
