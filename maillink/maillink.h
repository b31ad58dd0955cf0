/*
 * Maillink: the serial port and the framed mail protocol that talks to a repeater.
 *
 * One port per process, one configuration record, one transmit and one receive buffer: all of it
 * is process-wide state owned by the library and reached through the exported data items below
 * or through the Get...Ptr functions. Nothing is allocated or freed across this boundary.
 *
 * Calling order for a transfer: OpenSerialPort; SmInit; change the SmConfig fields that differ
 * from the defaults; for each mail fill SmTxMail from offset 3 on and call SmSendMail, reading
 * SmRxMail after a result of 0; CloseSerialPort at the end.
 *
 * Usable from C and C++. Multi-byte fields are little-endian.
 */
#ifndef MAILLINK_H
#define MAILLINK_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#  if defined(MAILLINK_BUILDING)
#    define MAILLINK_API __declspec(dllexport)
#  else
#    define MAILLINK_API __declspec(dllimport)
#  endif
#else
#  define MAILLINK_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- The port ------------------------------------------------------------------------------ */

/* Handle of the open port; MAILLINK_NO_PORT while none is open. On Windows it is the low 32 bits
 * of the file handle (kernel handles are 32-bit significant); on POSIX the file descriptor. */
#define MAILLINK_NO_PORT 0xFFFFFFFFu
MAILLINK_API extern uint32_t hComPort;

/* Opens COM<port> (1 to 9) for exclusive use at the given baud rate, 8N1, raw, DTR on, RTS off, no
 * flow control, reads returning at once. 1 when the port is open (also when one already was),
 * 0 on failure; a failed open never leaves the device held. */
MAILLINK_API uint8_t OpenSerialPort(uint8_t port, uint32_t baudRate);
MAILLINK_API void CloseSerialPort(void);
MAILLINK_API void SendSerialData(uint8_t value);
/* Reads up to count waiting bytes without blocking; the number read (0 when none or no port). */
MAILLINK_API uint8_t GetSerialData(uint8_t *buffer, uint8_t count);
/* Sends a byte and checks that the first byte coming back equals it, within idlePolls 1 ms polls
 * (0 means 65,536). */
MAILLINK_API uint8_t SendSerialDataWithTimeout(uint8_t value, uint16_t idlePolls);
MAILLINK_API void Delay(uint16_t milliseconds);
/* Text of the last failed platform call into buffer (never more than size characters, always
 * terminated when size allows), or "Errorcode %d". Returns buffer. */
MAILLINK_API char *GetWin32ErrorText(char *buffer, uint8_t size);

/* ---- The mail protocol --------------------------------------------------------------------- */

#define SM_MAIL_SIZE 26

#pragma pack(push, 1)
typedef struct SmConfigRecord {
    uint8_t AckMode;             /* offset 0: start byte 0x41 and acknowledge 0x61 awaited     */
    uint8_t RxMailExpected;      /* offset 1: receive and verify a reply mail                  */
    uint8_t SkipEchoCheck;       /* offset 2: do not read back the local echo                  */
    uint8_t FixedRxLength;       /* offset 3: replies are exactly 13 bytes                     */
    uint16_t EchoTimeoutPerByte; /* offset 4: idle polls per frame byte for the echo           */
    uint16_t EeWriteDelay;       /* offset 6: ms after an EEPROM write; 0xFFFF = 25 ms x byte 6 */
    uint16_t RxTimeout;          /* offset 8: idle polls of 5 ms for a reply                   */
} SmConfigRecord;
#pragma pack(pop)

typedef uint8_t SmMailBuffer[SM_MAIL_SIZE];

/* Error codes, returned by SmSendMail and kept in SmError until the next SmInit. */
enum {
    SM_OK = 0,
    SM_NO_RESPONSE = 1,
    SM_CHECKSUM_ERROR = 2,
    SM_LENGTH_ERROR = 3,
    SM_ACK_ERROR = 4,
    SM_ACK_TIMEOUT = 5,
    SM_NO_ECHO = 6,
    SM_TX_OVERFLOW = 7
};

MAILLINK_API extern SmConfigRecord SmConfig;
MAILLINK_API extern int32_t SmError;
MAILLINK_API extern SmMailBuffer SmTxMail;
MAILLINK_API extern SmMailBuffer SmRxMail;

MAILLINK_API int32_t *GetSmErrorPtr(void);
MAILLINK_API SmConfigRecord *GetSmConfigPtr(void);
MAILLINK_API uint8_t *GetSmTxMailPtr(void);
MAILLINK_API uint8_t *GetSmRxMailPtr(void);

MAILLINK_API void SmInit(void);
/* One whole exchange for the mail in SmTxMail; the error code (0 on success). */
MAILLINK_API int32_t SmSendMail(void);
/* The steps of SmSendMail, exported one by one; they report through SmError only. */
MAILLINK_API void SmSendTxMail(void);
MAILLINK_API void SmCheckForEeWriteCmd(void);
MAILLINK_API void SmCheckForAcknowledge(void);
MAILLINK_API void SmGetRxMail(void);
MAILLINK_API void SmCheckChecksum(void);
MAILLINK_API void SmSetChecksum(void);

#ifdef __cplusplus
} /* extern "C" */
#endif

#if defined(__cplusplus)
static_assert(sizeof(SmConfigRecord) == 10, "SmConfig is 10 bytes");
static_assert(offsetof(SmConfigRecord, EchoTimeoutPerByte) == 4, "SmConfig layout");
static_assert(offsetof(SmConfigRecord, EeWriteDelay) == 6, "SmConfig layout");
static_assert(offsetof(SmConfigRecord, RxTimeout) == 8, "SmConfig layout");
static_assert(sizeof(SmMailBuffer) == 26, "mail buffers are 26 bytes");
#elif defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
_Static_assert(sizeof(SmConfigRecord) == 10, "SmConfig is 10 bytes");
_Static_assert(offsetof(SmConfigRecord, RxTimeout) == 8, "SmConfig layout");
_Static_assert(sizeof(SmMailBuffer) == 26, "mail buffers are 26 bytes");
#endif

#endif /* MAILLINK_H */
