// The byte layout of every record that crosses the boundary with the host, checked where it is exact:
// 32-bit x86, the DLL's target.
#include <cstddef>

#include "DyxDriver.h"

#if defined(__i386__) || defined(_M_IX86)
static_assert(offsetof(DriverRequest, State) == 0 && offsetof(DriverRequest, FunctionCode) == 4 &&
                  offsetof(DriverRequest, Params) == 16 && sizeof(DriverRequest) == 20,
              "DriverRequest");
static_assert(sizeof(SerialParams) == 8 && offsetof(SerialParams, DataBits) == 2 &&
                  offsetof(SerialParams, StopBitsCode) == 4 && offsetof(SerialParams, ParityCode) == 6,
              "SerialParams");
static_assert(offsetof(OpenParams, PortEnabled) == 12 && offsetof(OpenParams, ReadTimeout) == 16 &&
                  offsetof(OpenParams, SerialParams) == 20 && sizeof(OpenParams) == 28,
              "OpenParams");
static_assert(offsetof(ReconfigureParams, ReadTimeout) == 12 && offsetof(ReconfigureParams, SerialParams) == 16 &&
                  sizeof(ReconfigureParams) == 24,
              "ReconfigureParams");
static_assert(offsetof(AddressParams, AddressText) == 0 && offsetof(AddressParams, DataType) == 8 &&
                  offsetof(AddressParams, ResultWords) == 16 && sizeof(AddressParams) == 36,
              "AddressParams");
static_assert(offsetof(ItemParams, AddressText) == 0 && offsetof(ItemParams, DataType) == 28 &&
                  offsetof(ItemParams, Item) == 40 && sizeof(ItemParams) == 44,
              "ItemParams");
static_assert(offsetof(ItemValue, Value) == 2, "ItemValue");
static_assert(offsetof(DriverDescription, DriverName) == 4 && offsetof(DriverDescription, Banner) == 8 &&
                  offsetof(DriverDescription, StateSize) == 12 && offsetof(DriverDescription, FifthWord) == 16 &&
                  offsetof(DriverDescription, DefaultSerialParams) == 20 &&
                  offsetof(DriverDescription, LastWord) == 28 && sizeof(DriverDescription) == 32,
              "DriverDescription");
static_assert(sizeof(PortSettings) == 22 && offsetof(PortSettings, SerialParams) == 12 &&
                  offsetof(PortSettings, OpenFlags) == 20,
              "PortSettings");
static_assert(offsetof(ChannelState, ReadTimeout) == 0 && offsetof(ChannelState, PortEnabled) == 4 &&
                  offsetof(ChannelState, PortHandle) == 8 && offsetof(ChannelState, PortSettings) == 12 &&
                  offsetof(ChannelState, CommandBuffer) == 34 && offsetof(ChannelState, ReplyBuffer) == 290 &&
                  offsetof(ChannelState, AddressField) == 546 && offsetof(ChannelState, CommandLength) == 554 &&
                  offsetof(ChannelState, ReplyLength) == 556 && offsetof(ChannelState, LinkUp) == 558 &&
                  sizeof(ChannelState) <= 564,
              "ChannelState");
#endif
