// The one list of KOBALT.dll's entry points: name, function type, and what a call through an
// unresolved slot yields. Row order is the slot order of CSdkApi and the look-up order of Load.
//
// X(name, function type, SdkFailure) for each of the 131 entry points. The names are the
// library's exported names, misspellings included ("Sofeware", "Convertion", "Surpport",
// "Enalbe", "Excute", "Battch"). Entry points the console never calls are KOBALT_Fn_Other.
#pragma once

#include "sdk/KobaltAbi.h"

// clang-format off
#define KOBALT_SDK_ENTRY_POINTS(X)                                                   \
    /* Stack and local adapter */                                                    \
    X(KOBALT_LoadProfileDrvs,                 KOBALT_Fn_Other,                   Error) \
    X(KOBALT_UnLoadProfileDrvs,               KOBALT_Fn_Other,                   Error) \
    X(KOBALT_GetQRVMode,                      KOBALT_Fn_Other,                   Error) \
    X(KOBALT_SetIntegrateTL,                  KOBALT_Fn_SetIntegrateTL,          Error) \
    X(KOBALT_Init,                            KOBALT_Fn_Void,                    Error) \
    X(KOBALT_InitEx,                          KOBALT_Fn_Other,                   Error) \
    X(KOBALT_BTDeviceUnplug,                  KOBALT_Fn_Other,                   Error) \
    X(KOBALT_StartBluetooth,                  KOBALT_Fn_Other,                   Error) \
    X(KOBALT_UnInit,                          KOBALT_Fn_Void,                    Error) \
    X(KOBALT_Reset,                           KOBALT_Fn_Other,                   Error) \
    X(KOBALT_GetSofewareVersion,              KOBALT_Fn_GetSofewareVersion,      Error) \
    X(KOBALT_GetDefaultPinCode,               KOBALT_Fn_GetDefaultPinCode,       Error) \
    X(KOBALT_SetDefaultPinCode,               KOBALT_Fn_SetDefaultPinCode,       Error) \
    X(KOBALT_GetLocalName,                    KOBALT_Fn_GetLocalName,            Error) \
    X(KOBALT_SetLocalName,                    KOBALT_Fn_SetLocalName,            Error) \
    X(KOBALT_GetLocalBTAddr,                  KOBALT_Fn_GetLocalBTAddr,          Error) \
    /* Discovery, pairing and remote information */                                  \
    X(KOBALT_DeviceDiscovery,                 KOBALT_Fn_DeviceDiscovery,         Error) \
    X(KOBALT_DeviceDiscoveryEx,               KOBALT_Fn_Other,                   Error) \
    X(KOBALT_StopDiscovery,                   KOBALT_Fn_Other,                   Error) \
    X(KOBALT_SetPairable,                     KOBALT_Fn_Other,                   Error) \
    X(KOBALT_PairDevice,                      KOBALT_Fn_Other,                   Error) \
    X(KOBALT_IsPairDevice,                    KOBALT_Fn_Other,                   Error) \
    X(KOBALT_UnPairDevice,                    KOBALT_Fn_Other,                   Error) \
    X(KOBALT_GetRemoteName,                   KOBALT_Fn_GetRemoteName,           Error) \
    X(KOBALT_GetRemoteServices,               KOBALT_Fn_Other,                   Error) \
    /* Connections and connection options */                                         \
    X(KOBALT_Connect,                         KOBALT_Fn_Connection,              Error) \
    X(KOBALT_ConnectEx,                       KOBALT_Fn_Other,                   Error) \
    X(KOBALT_Disconnect,                      KOBALT_Fn_Connection,              Error) \
    X(KOBALT_IsConnected,                     KOBALT_Fn_Connection,              False) \
    X(KOBALT_RegisterConnectCallback,         KOBALT_Fn_RegisterConnectCallback, Error) \
    X(KOBALT_RegisterPairCallback,            KOBALT_Fn_RegisterPairCallback,    Error) \
    X(KOBALT_GetAllShortCuts,                 KOBALT_Fn_GetAllShortCuts,         Error) \
    X(KOBALT_DeleteShortCut,                  KOBALT_Fn_Other,                   Error) \
    X(KOBALT_GetModuleString,                 KOBALT_Fn_Other,                   Error) \
    X(KOBALT_EnableAutoConnectHF,             KOBALT_Fn_Other,                   Error) \
    X(KOBALT_DisableAutoConnectHF,            KOBALT_Fn_Other,                   Error) \
    X(KOBALT_IsAutoConnectHF,                 KOBALT_Fn_Other,                   Error) \
    X(KOBALT_Set140PO,                        KOBALT_Fn_Other,                   Error) \
    /* Hands-free calls */                                                           \
    X(KOBALT_HFAP_RegisterCallback,           KOBALT_Fn_HFAP_RegisterCallback,   Error) \
    X(KOBALT_RegisterMuteFunc,                KOBALT_Fn_Other,                   Error) \
    X(KOBALT_HFAP_AnswerCall,                 KOBALT_Fn_Void,                    Error) \
    X(KOBALT_HFAP_CancelCall,                 KOBALT_Fn_Void,                    Error) \
    X(KOBALT_HFAP_Dial,                       KOBALT_Fn_HFAP_Dial,               Error) \
    X(KOBALT_HFAP_LastNumRedial,              KOBALT_Fn_Void,                    Error) \
    X(KOBALT_HFAP_TransmitDTMFCode,           KOBALT_Fn_HFAP_TransmitDTMFCode,   Error) \
    X(KOBALT_HFAP_GetAudioStatus,             KOBALT_Fn_Void,                    NoAudioStatus) \
    X(KOBALT_HFAP_Transfer,                   KOBALT_Fn_Void,                    Error) \
    X(KOBALT_HFAP_TransferBack,               KOBALT_Fn_Void,                    Error) \
    X(KOBALT_HFAP_MuteMic,                    KOBALT_Fn_Void,                    Error) \
    X(KOBALT_HFAP_UnmuteMic,                  KOBALT_Fn_Void,                    Error) \
    X(KOBALT_SetMicGainLevel,                 KOBALT_Fn_Other,                   Error) \
    /* Three-way calling */                                                          \
    X(KOBALT_HoldActiveToAnswerInComing,      KOBALT_Fn_Void,                    Error) \
    X(KOBALT_ReleaseActiveToAnswerInComing,   KOBALT_Fn_Void,                    Error) \
    X(KOBALT_RejectInComingCall,              KOBALT_Fn_Void,                    Error) \
    X(KOBALT_HoldInComingCall,                KOBALT_Fn_Void,                    Error) \
    X(KOBALT_AcceptHoldInComingCall,          KOBALT_Fn_Void,                    Error) \
    X(KOBALT_RejectHoldInComingCall,          KOBALT_Fn_Void,                    Error) \
    X(KOBALT_GetCurrentCalls,                 KOBALT_Fn_Void,                    Error) \
    X(KOBALT_AddHeldToConvertion,             KOBALT_Fn_Other,                   Error) \
    X(KOBALT_HoldPrivateIndex,                KOBALT_Fn_Other,                   Error) \
    /* Call options, audio routing, voice recognition, volume and phone status */    \
    X(KOBALT_EnableAutoAnswer,                KOBALT_Fn_Other,                   Error) \
    X(KOBALT_DisableAutoAnswer,               KOBALT_Fn_Other,                   Error) \
    X(KOBALT_IsAutoAnswer,                    KOBALT_Fn_Other,                   Error) \
    X(KOBALT_BindA2DPToHF,                    KOBALT_Fn_Other,                   Error) \
    X(KOBALT_UnbindA2DPFromHF,                KOBALT_Fn_Other,                   Error) \
    X(KOBALT_StartVoiceRecog,                 KOBALT_Fn_Void,                    Error) \
    X(KOBALT_StopVoiceRecog,                  KOBALT_Fn_Void,                    Error) \
    X(KOBALT_SetPhoneSpkVol,                  KOBALT_Fn_Other,                   Error) \
    X(KOBALT_SetSpeakerVolume,                KOBALT_Fn_Other,                   Error) \
    X(KOBALT_GetSpeakerVolume,                KOBALT_Fn_Other,                   Error) \
    X(KOBALT_GetSignalBattch,                 KOBALT_Fn_Other,                   Error) \
    X(KOBALT_GetCurrentPhoneID,               KOBALT_Fn_Other,                   Error) \
    /* Phonebook and call log */                                                     \
    X(KOBALT_PIMStartUpdateContacts,          KOBALT_Fn_PIMStartUpdate,          Error) \
    X(KOBALT_PIMStartUpdateContactsEx,        KOBALT_Fn_Other,                   Error) \
    X(KOBALT_PIMRegisterCallback,             KOBALT_Fn_PIMRegisterCallback,     Error) \
    X(KOBALT_PIMRegisterCallbackEx,           KOBALT_Fn_Other,                   Error) \
    X(KOBALT_PIMGetContacts,                  KOBALT_Fn_PIMGetRecords,           Error) \
    X(KOBALT_PIMStartUpdateCalllog,           KOBALT_Fn_Other,                   Error) \
    X(KOBALT_PIMStartUpdateCalllogEx,         KOBALT_Fn_PIMStartUpdate,          Error) \
    X(KOBALT_PIMStopUpdate,                   KOBALT_Fn_Void,                    Error) \
    X(KOBALT_PIMGetCalllogs,                  KOBALT_Fn_PIMGetRecords,           Error) \
    X(KOBALT_GetPhoneList,                    KOBALT_Fn_Other,                   Error) \
    X(KOBALT_PIMGetContactName,               KOBALT_Fn_Other,                   Error) \
    X(KOBALT_PIMRegPhoneSurpportOrNotCB,      KOBALT_Fn_Other,                   Error) \
    /* AVRCP remote control and A2DP */                                              \
    X(KOBALT_AVRCPPlay,                       KOBALT_Fn_Void,                    Error) \
    X(KOBALT_AVRCPPause,                      KOBALT_Fn_Void,                    Error) \
    X(KOBALT_AVRCPStop,                       KOBALT_Fn_Void,                    Error) \
    X(KOBALT_AVRCPPlayLast,                   KOBALT_Fn_Void,                    Error) \
    X(KOBALT_AVRCPPlayNext,                   KOBALT_Fn_Void,                    Error) \
    X(KOBALT_AVRCPVolumeUP,                   KOBALT_Fn_Void,                    Error) \
    X(KOBALT_AVRCPVolumeDown,                 KOBALT_Fn_Void,                    Error) \
    X(KOBALT_RegPassThrCmdCbk,                KOBALT_Fn_Other,                   Error) \
    X(KOBALT_A2DP_SNK_DisablePlay,            KOBALT_Fn_Other,                   Error) \
    X(KOBALT_A2DP_SNK_EnablePlay,             KOBALT_Fn_Other,                   Error) \
    X(KOBALT_A2DP_SNK_GetDevVolume,           KOBALT_Fn_Other,                   Error) \
    X(KOBALT_A2DP_SNK_SetDevVolume,           KOBALT_Fn_Other,                   Error) \
    X(KOBALT_AVRCPForcePlay,                  KOBALT_Fn_Other,                   Error) \
    X(KOBALT_AVRCPForcePause,                 KOBALT_Fn_Other,                   Error) \
    X(KOBALT_EnalbeA2DP,                      KOBALT_Fn_Other,                   Error) \
    X(KOBALT_DisableA2DP,                     KOBALT_Fn_Other,                   Error) \
    X(KOBALT_IsA2DPEnable,                    KOBALT_Fn_Other,                   Error) \
    /* Dial-up networking and serial port */                                         \
    X(KOBALT_DUNConnect,                      KOBALT_Fn_DUNConnect,              Error) \
    X(KOBALT_DUNGetCountry,                   KOBALT_Fn_DUNGetCountry,           Error) \
    X(KOBALT_DUNGetProvider,                  KOBALT_Fn_DUNGetProvider,          Error) \
    X(KOBALT_DUNGetParams,                    KOBALT_Fn_DUNGetParams,            Error) \
    X(KOBALT_GetClientPort,                   KOBALT_Fn_Void,                    Error) \
    /* File transfer */                                                              \
    X(KOBALT_FTPGetRemoteFileList,            KOBALT_Fn_Other,                   Error) \
    X(KOBALT_FTPDownLoadFile,                 KOBALT_Fn_Other,                   Error) \
    X(KOBALT_FTPDownLoadDir,                  KOBALT_Fn_Other,                   Error) \
    X(KOBALT_FTPNewFolder,                    KOBALT_Fn_Other,                   Error) \
    X(KOBALT_FTPSetRmtDir,                    KOBALT_Fn_Other,                   Error) \
    X(KOBALT_FTPGetRmtDir,                    KOBALT_Fn_Other,                   Error) \
    X(KOBALT_FTPPutFile,                      KOBALT_Fn_Other,                   Error) \
    X(KOBALT_FTPPutDir,                       KOBALT_Fn_Other,                   Error) \
    X(KOBALT_FTPDeleteFile,                   KOBALT_Fn_Other,                   Error) \
    X(KOBALT_FTPDeleteDir,                    KOBALT_Fn_Other,                   Error) \
    X(KOBALT_FTPCancelTransfer,               KOBALT_Fn_Other,                   Error) \
    X(KOBALT_FTPRegisterStatusCallback,       KOBALT_Fn_Other,                   Error) \
    X(KOBALT_SetDefaultPath,                  KOBALT_Fn_Other,                   Error) \
    X(KOBALT_GetDefaultPath,                  KOBALT_Fn_Other,                   Error) \
    X(KOBALT_FTPRegisterDealReceiveFileCB,    KOBALT_Fn_Other,                   Error) \
    X(KOBALT_GetSavePath,                     KOBALT_Fn_Other,                   Error) \
    /* Last connected devices */                                                     \
    X(KOBALT_GetLastConnectedHFDevice,        KOBALT_Fn_Other,                   Error) \
    X(KOBALT_GetLastConnectedAVDevice,        KOBALT_Fn_Other,                   Error) \
    /* Object push */                                                                \
    X(KOBALT_PIMGetOppContacts,               KOBALT_Fn_PIMGetRecords,           Error) \
    X(KOBALT_OPPPushContact,                  KOBALT_Fn_Other,                   Error) \
    /* Host controller and vendor commands */                                        \
    X(KOBALT_SendDataToHostController,        KOBALT_Fn_Other,                   Error) \
    X(KOBALT_ExecuteHCICommand,               KOBALT_Fn_Other,                   Error) \
    X(KOBALT_VendorCommand,                   KOBALT_Fn_Other,                   Error) \
    X(KOBALT_ExcuteCmd,                       KOBALT_Fn_Other,                   Error) \
    /* Miscellaneous */                                                              \
    X(KOBALT_RegistryWnd,                     KOBALT_Fn_Other,                   Error)
// clang-format on

#define KOBALT_SDK_COUNT_ONE(name, fn, failure) +1
// Number of rows above.
inline constexpr int kSdkEntryPointCount = 0 KOBALT_SDK_ENTRY_POINTS(KOBALT_SDK_COUNT_ONE);
#undef KOBALT_SDK_COUNT_ONE
static_assert(kSdkEntryPointCount == 131, "KOBALT.dll has 131 entry points");

#define KOBALT_SDK_NAME_ONE(name, fn, failure) u"" #name,
// The exported names, in row order.
inline constexpr const char16_t* kSdkEntryPointNames[] = {
    KOBALT_SDK_ENTRY_POINTS(KOBALT_SDK_NAME_ONE)};
#undef KOBALT_SDK_NAME_ONE

// The row of the entry point called `name`, -1 for a name that is not in the table.
constexpr int SdkEntryPointIndex(const char16_t* name) {
    for (int i = 0; i < kSdkEntryPointCount; ++i) {
        const char16_t* row = kSdkEntryPointNames[i];
        int c = 0;
        while (row[c] != 0 && row[c] == name[c]) {
            ++c;
        }
        if (row[c] == name[c]) {
            return i;
        }
    }
    return -1;
}
