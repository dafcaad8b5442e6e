/* Public interface of the KV serial driver: the records a host builds, the function codes, the result
 * codes and the single entry point DyxMain. C and C++ hosts compile against this header alone. */
#ifndef DYX_DRIVER_H
#define DYX_DRIVER_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#define DYX_CALL __stdcall
#else
#define DYX_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Layout. On 32-bit x86 (the DLL) every record has the byte layout the offsets below give, checked at
 * compile time. On 64-bit builds (the Linux library) the records keep the same fields in the same order
 * with the compiler's natural alignment, so pointers are 8 bytes and the offsets behind them move. */

/* Function codes: the index into the driver's function table. Codes 0, 8, 9 and 16 and above have no
 * operation and answer DYX_REFUSED. */
enum DyxFunctionCode {
    DYX_OPEN_CHANNEL = 1,
    DYX_OPEN_LINK = 2,
    DYX_VALIDATE_ADDRESS = 3,
    DYX_READ_ITEM = 5,
    DYX_WRITE_ITEM = 7,
    DYX_CLOSE_CHANNEL = 11,
    DYX_CLOSE_CHANNEL_TOO = 12,
    DYX_REOPEN_CHANNEL = 13,
    DYX_DESCRIBE_DRIVER = 14,
    DYX_RECONFIGURE_CHANNEL = 15
};

/* Result of every call, a whole 32-bit value. */
enum DyxResult {
    DYX_DONE = 0,
    DYX_REFUSED = 1,             /* no such operation, invalid address or data type, bad reply shape */
    DYX_COMMUNICATION_FAILED = 2 /* port not opened or closed, handshake failed, six attempts failed */
};

/* Data types of an item: only the low 8 bits of a DataType field count. */
enum DyxDataType { DYX_WORD_ITEM = 0, DYX_WORD_ITEM_TOO = 1, DYX_BIT_ITEM = 6 };

/* The request the host passes to DyxMain; the driver only reads it. State may be null for codes 4, 6,
 * 10 and 14; Params may be null for codes 2, 4, 6, 10, 11, 12 and 13. */
typedef struct DriverRequest {
    struct ChannelState* State; /* 0 */
    uint32_t FunctionCode;      /* 4 */
    uint32_t HostWords[2];      /* 8: the host's, never touched */
    void* Params;               /* 16 */
} DriverRequest;

/* Line settings, Win32 codes: StopBitsCode 0 one, 1 one and a half, 2 two; ParityCode 0 none, 1 odd,
 * 2 even, 3 mark, 4 space. DataBits, StopBitsCode and ParityCode use their low byte. */
typedef struct SerialParams {
    uint16_t Baud;
    uint16_t DataBits;
    uint16_t StopBitsCode;
    uint16_t ParityCode;
} SerialParams;

/* Code 1. PortName holds at most 11 characters and its NUL; a name without a NUL in its 12 bytes is
 * refused with DYX_COMMUNICATION_FAILED and leaves the channel untouched. ReadTimeout counts 10 ms; 0
 * asks for the driver's default of 100 (1 s per read call), so a read never waits for ever. */
typedef struct OpenParams {
    char PortName[12];                /* 0 */
    uint32_t PortEnabled;             /* 12 */
    uint32_t ReadTimeout;             /* 16 */
    struct SerialParams SerialParams; /* 20 */
} OpenParams;

/* Code 15. ReadTimeout 0 keeps the channel's value. PortName as in OpenParams. */
typedef struct ReconfigureParams {
    char PortName[12];                /* 0 */
    uint32_t ReadTimeout;             /* 12 */
    struct SerialParams SerialParams; /* 16 */
} ReconfigureParams;

/* Code 3. AddressText is a NUL-terminated address such as "DM$1234" or "RD$00105"; a text longer than
 * 8 characters is refused (result 1) and nothing of it past the eighth character is stored. The five
 * result words are written, all five, only on result 0, with 0, 0, 0, 255 and 16. */
typedef struct AddressParams {
    const char* AddressText; /* 0 */
    uint32_t HostWord1;      /* 4: the host's */
    uint32_t DataType;       /* 8 */
    uint32_t HostWord3;      /* 12: the host's */
    uint32_t ResultWords[5]; /* 16 */
} AddressParams;

/* The host's value record: the driver touches only Value (code 5 writes it, code 7 reads it). The
 * host's record may be longer; bytes outside Value stay as they are. */
typedef struct ItemValue {
    uint8_t HostBytes[2]; /* 0: the host's */
    uint16_t Value;       /* 2 */
} ItemValue;

/* Codes 5 and 7. AddressText as in AddressParams; Item must point at the host's ItemValue. */
typedef struct ItemParams {
    const char* AddressText; /* 0 */
    uint8_t HostBytes[24];   /* 4: the host's */
    uint32_t DataType;       /* 28 */
    uint8_t HostTail[8];     /* 32: the host's */
    ItemValue* Item;         /* 40 */
} ItemParams;

/* Code 14, filled on every call. The two texts are static and live as long as the library. StateSize
 * is the size to allocate for each ChannelState: 564 on 32-bit builds; where a 64-bit build's record
 * is larger than that, its own size. */
typedef struct DriverDescription {
    uint32_t FirstWord;                      /* 0: 70 */
    const char* DriverName;                  /* 4: "KEYENCE KV Series" */
    const char* Banner;                      /* 8: 379 characters of code page 437 */
    uint32_t StateSize;                      /* 12 */
    uint32_t FifthWord;                      /* 16: 4 */
    struct SerialParams DefaultSerialParams; /* 20: 9600, 8, 0, 2 */
    uint32_t LastWord;                       /* 28: 0 */
} DriverDescription;

/* How a channel's port was last opened: name, line settings, DTR/RTS selection (code 1 stores 8). */
typedef struct PortSettings {
    char PortName[12];
    struct SerialParams SerialParams;
    uint16_t OpenFlags;
} PortSettings;

/* One per channel, allocated by the host with StateSize bytes, zero-filled before the first call, and
 * interpreted only by the driver. */
typedef struct ChannelState {
    uint32_t ReadTimeout; /* 10 ms units, as last given by code 1 or 15 */
    uint32_t PortEnabled;
    void* PortHandle; /* null while no port is open */
    struct PortSettings PortSettings;
    char CommandBuffer[256]; /* command text, then the CR added at send time */
    char ReplyBuffer[256];   /* last reply line, NUL in place of its LF */
    char AddressField[8];    /* upper-cased address padded with spaces, no NUL */
    uint16_t CommandLength;
    uint16_t ReplyLength;
    uint16_t LinkUp;
} ChannelState;

/* The single entry point: calls the operation that request->FunctionCode names and returns its result
 * (DYX_DONE, DYX_REFUSED or DYX_COMMUNICATION_FAILED). On 32-bit Windows it is __stdcall and exported
 * under the plain name DyxMain. */
uint32_t DYX_CALL DyxMain(const DriverRequest* request);

#ifdef __cplusplus
}
#endif

#endif
