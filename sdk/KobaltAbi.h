/* The C ABI of KOBALT.dll: records, callbacks and the entry points the console calls.
 *
 * Shared by the console's binding (sdk/) and the simulated library (sim/); nothing else is
 * shared between them. Plain C types only. */
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef char16_t KOBALT_WCHAR; /* UTF-16 code unit */

/* A device address, byte 0 first as the library passes it; shown byte 5 first. */
typedef struct KOBALT_BdAddr {
    uint8_t b[6];
} KOBALT_BdAddr;

/* 134 bytes: a discovered device or a paired-device shortcut. */
typedef struct KOBALT_DeviceRecord {
    KOBALT_BdAddr addr;
    KOBALT_WCHAR name[64]; /* NUL-terminated within 64 characters when well formed */
} KOBALT_DeviceRecord;

/* 310 bytes, records back to back (only 2-byte aligned): one phonebook contact. */
enum {
    KOBALT_CONTACT_RECORD_SIZE = 310,
    KOBALT_CONTACT_NAME = 0,
    KOBALT_CONTACT_HOME = 64,
    KOBALT_CONTACT_WORK = 146,
    KOBALT_CONTACT_CELL = 228
};
/* 5610 bytes: a pushed contact, eleven slots of 255 UTF-16 units. */
enum { KOBALT_OPP_RECORD_SIZE = 5610, KOBALT_OPP_SLOT_SIZE = 510, KOBALT_OPP_SLOTS = 11 };
/* 232 bytes: one call-log entry; name at 4 (32 units), number at 68 (82 units). */
enum { KOBALT_CALLLOG_RECORD_SIZE = 232, KOBALT_CALLLOG_NAME = 4, KOBALT_CALLLOG_NUMBER = 68 };

/* 132 bytes: a dial-up country or provider. */
typedef struct KOBALT_DunListEntry {
    uint32_t id;
    KOBALT_WCHAR name[64];
} KOBALT_DunListEntry;

/* Service codes of connection events and calls. */
enum {
    KOBALT_SERVICE_HF = 1,
    KOBALT_SERVICE_A2DP = 2,
    KOBALT_SERVICE_INTERNET = 3,
    KOBALT_SERVICE_FTP = 4,
    KOBALT_SERVICE_SPP = 5,
    KOBALT_SERVICE_A2DP_STREAMING = 6,
    KOBALT_SERVICE_NFC = 7,
    KOBALT_SERVICE_AVRCP_TARGET = 0x110C,
    KOBALT_SERVICE_AVRCP = 0x110E
};

/* PIM event codes. */
enum {
    KOBALT_PIM_CONTACTS_DONE = 1,
    KOBALT_PIM_FAIL = 2,
    KOBALT_PIM_CALLLOG_DONE = 5,
    KOBALT_PIM_OPP_CONTACTS = 6,
    KOBALT_PARAM_INVALID = 10,
    KOBALT_NO_CONN = 11,
    KOBALT_CALL_ALREADYEXIST = 12
};

/* Callbacks, all called on the library's threads. */
typedef int (*KOBALT_ConnectCallback)(int connected, KOBALT_BdAddr* addr, int16_t service);
typedef int (*KOBALT_PairCallback)(int success, KOBALT_BdAddr* addr);
typedef int (*KOBALT_HfCallback)(uint32_t code, intptr_t data);
typedef int (*KOBALT_DiscoveryCallback)(int finished, KOBALT_DeviceRecord record);
typedef void (*KOBALT_PimCallback)(int32_t event);

/* Entry points the console calls, with their types. The other entry points of the library
 * take no arguments the console knows of; they are typed KOBALT_Fn_Other. */
typedef int (*KOBALT_Fn_Void)(void);
typedef int (*KOBALT_Fn_Other)(void);
typedef int (*KOBALT_Fn_SetIntegrateTL)(int mode);
typedef int (*KOBALT_Fn_GetSofewareVersion)(KOBALT_WCHAR* version /* 40 units */);
typedef int (*KOBALT_Fn_GetDefaultPinCode)(char* pin, uint32_t* length);
typedef int (*KOBALT_Fn_SetDefaultPinCode)(char* pin, uint32_t length);
typedef int (*KOBALT_Fn_GetLocalName)(KOBALT_WCHAR* name, int capacity);
typedef int (*KOBALT_Fn_SetLocalName)(const KOBALT_WCHAR* name);
typedef int (*KOBALT_Fn_GetLocalBTAddr)(KOBALT_BdAddr* addr);
typedef int (*KOBALT_Fn_DeviceDiscovery)(KOBALT_DiscoveryCallback callback);
typedef int (*KOBALT_Fn_GetRemoteName)(KOBALT_BdAddr* addr, KOBALT_WCHAR* name /* 64 units */);
typedef int (*KOBALT_Fn_Connection)(KOBALT_BdAddr* addr, int16_t service);
typedef int (*KOBALT_Fn_RegisterConnectCallback)(KOBALT_ConnectCallback callback);
typedef int (*KOBALT_Fn_RegisterPairCallback)(KOBALT_PairCallback callback);
typedef int (*KOBALT_Fn_GetAllShortCuts)(KOBALT_DeviceRecord* records, uint32_t* count);
typedef int (*KOBALT_Fn_HFAP_RegisterCallback)(int reserved, KOBALT_HfCallback callback);
typedef int (*KOBALT_Fn_HFAP_Dial)(const char* number, int length);
typedef int (*KOBALT_Fn_HFAP_TransmitDTMFCode)(int code);
typedef int (*KOBALT_Fn_PIMStartUpdate)(int what);
typedef int (*KOBALT_Fn_PIMRegisterCallback)(KOBALT_PimCallback callback);
typedef int (*KOBALT_Fn_PIMGetRecords)(void* records, uint32_t* count);
typedef int (*KOBALT_Fn_DUNGetCountry)(KOBALT_DunListEntry* entries, uint32_t* count);
typedef int (*KOBALT_Fn_DUNGetProvider)(uint32_t countryId, KOBALT_DunListEntry* entries,
                                        uint32_t* count);
typedef int (*KOBALT_Fn_DUNGetParams)(uint32_t providerId, KOBALT_WCHAR* p1, KOBALT_WCHAR* p2,
                                      KOBALT_WCHAR* p3, KOBALT_WCHAR* p4, KOBALT_WCHAR* p5);
typedef int (*KOBALT_Fn_DUNConnect)(KOBALT_BdAddr* addr, const KOBALT_WCHAR* p1,
                                    const KOBALT_WCHAR* p2, const KOBALT_WCHAR* p3,
                                    const KOBALT_WCHAR* p4, const KOBALT_WCHAR* p5);

#ifdef __cplusplus
}
#endif
