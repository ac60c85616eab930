// The library's 131 entry points, in the order of the console's table.
//
// One list drives the identifiers, the exported names, the failure-injection look-up and the
// compile-time check of each export's type. CALLED(name, type) marks an entry point the console
// calls, with its type from sdk/KobaltAbi.h; OTHER(name) one it never calls, typed int(void).
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#define KOBALT_SIM_ENTRY_POINTS(CALLED, OTHER)                                                     \
    /* Stack and local adapter */                                                                  \
    OTHER(LoadProfileDrvs)                                                                         \
    OTHER(UnLoadProfileDrvs)                                                                       \
    OTHER(GetQRVMode)                                                                              \
    CALLED(SetIntegrateTL, KOBALT_Fn_SetIntegrateTL)                                               \
    CALLED(Init, KOBALT_Fn_Void)                                                                   \
    OTHER(InitEx)                                                                                  \
    OTHER(BTDeviceUnplug)                                                                          \
    OTHER(StartBluetooth)                                                                          \
    CALLED(UnInit, KOBALT_Fn_Void)                                                                 \
    OTHER(Reset)                                                                                   \
    CALLED(GetSofewareVersion, KOBALT_Fn_GetSofewareVersion)                                       \
    CALLED(GetDefaultPinCode, KOBALT_Fn_GetDefaultPinCode)                                         \
    CALLED(SetDefaultPinCode, KOBALT_Fn_SetDefaultPinCode)                                         \
    CALLED(GetLocalName, KOBALT_Fn_GetLocalName)                                                   \
    CALLED(SetLocalName, KOBALT_Fn_SetLocalName)                                                   \
    CALLED(GetLocalBTAddr, KOBALT_Fn_GetLocalBTAddr)                                               \
    /* Discovery, pairing and remote information */                                                \
    CALLED(DeviceDiscovery, KOBALT_Fn_DeviceDiscovery)                                             \
    OTHER(DeviceDiscoveryEx)                                                                       \
    OTHER(StopDiscovery)                                                                           \
    OTHER(SetPairable)                                                                             \
    OTHER(PairDevice)                                                                              \
    OTHER(IsPairDevice)                                                                            \
    OTHER(UnPairDevice)                                                                            \
    CALLED(GetRemoteName, KOBALT_Fn_GetRemoteName)                                                 \
    OTHER(GetRemoteServices)                                                                       \
    /* Connections and connection options */                                                       \
    CALLED(Connect, KOBALT_Fn_Connection)                                                          \
    OTHER(ConnectEx)                                                                               \
    CALLED(Disconnect, KOBALT_Fn_Connection)                                                       \
    CALLED(IsConnected, KOBALT_Fn_Connection)                                                      \
    CALLED(RegisterConnectCallback, KOBALT_Fn_RegisterConnectCallback)                             \
    CALLED(RegisterPairCallback, KOBALT_Fn_RegisterPairCallback)                                   \
    CALLED(GetAllShortCuts, KOBALT_Fn_GetAllShortCuts)                                             \
    OTHER(DeleteShortCut)                                                                          \
    OTHER(GetModuleString)                                                                         \
    OTHER(EnableAutoConnectHF)                                                                     \
    OTHER(DisableAutoConnectHF)                                                                    \
    OTHER(IsAutoConnectHF)                                                                         \
    OTHER(Set140PO)                                                                                \
    /* Hands-free calls */                                                                         \
    CALLED(HFAP_RegisterCallback, KOBALT_Fn_HFAP_RegisterCallback)                                 \
    OTHER(RegisterMuteFunc)                                                                        \
    CALLED(HFAP_AnswerCall, KOBALT_Fn_Void)                                                        \
    CALLED(HFAP_CancelCall, KOBALT_Fn_Void)                                                        \
    CALLED(HFAP_Dial, KOBALT_Fn_HFAP_Dial)                                                         \
    CALLED(HFAP_LastNumRedial, KOBALT_Fn_Void)                                                     \
    CALLED(HFAP_TransmitDTMFCode, KOBALT_Fn_HFAP_TransmitDTMFCode)                                 \
    CALLED(HFAP_GetAudioStatus, KOBALT_Fn_Void)                                                    \
    CALLED(HFAP_Transfer, KOBALT_Fn_Void)                                                          \
    CALLED(HFAP_TransferBack, KOBALT_Fn_Void)                                                      \
    CALLED(HFAP_MuteMic, KOBALT_Fn_Void)                                                           \
    CALLED(HFAP_UnmuteMic, KOBALT_Fn_Void)                                                         \
    OTHER(SetMicGainLevel)                                                                         \
    /* Three-way calling */                                                                        \
    CALLED(HoldActiveToAnswerInComing, KOBALT_Fn_Void)                                             \
    CALLED(ReleaseActiveToAnswerInComing, KOBALT_Fn_Void)                                          \
    CALLED(RejectInComingCall, KOBALT_Fn_Void)                                                     \
    CALLED(HoldInComingCall, KOBALT_Fn_Void)                                                       \
    CALLED(AcceptHoldInComingCall, KOBALT_Fn_Void)                                                 \
    CALLED(RejectHoldInComingCall, KOBALT_Fn_Void)                                                 \
    CALLED(GetCurrentCalls, KOBALT_Fn_Void)                                                        \
    OTHER(AddHeldToConvertion)                                                                     \
    OTHER(HoldPrivateIndex)                                                                        \
    /* Call options, audio routing, voice recognition, volume and phone status */                  \
    OTHER(EnableAutoAnswer)                                                                        \
    OTHER(DisableAutoAnswer)                                                                       \
    OTHER(IsAutoAnswer)                                                                            \
    OTHER(BindA2DPToHF)                                                                            \
    OTHER(UnbindA2DPFromHF)                                                                        \
    CALLED(StartVoiceRecog, KOBALT_Fn_Void)                                                        \
    CALLED(StopVoiceRecog, KOBALT_Fn_Void)                                                         \
    OTHER(SetPhoneSpkVol)                                                                          \
    OTHER(SetSpeakerVolume)                                                                        \
    OTHER(GetSpeakerVolume)                                                                        \
    OTHER(GetSignalBattch)                                                                         \
    OTHER(GetCurrentPhoneID)                                                                       \
    /* Phonebook and call log */                                                                   \
    CALLED(PIMStartUpdateContacts, KOBALT_Fn_PIMStartUpdate)                                       \
    OTHER(PIMStartUpdateContactsEx)                                                                \
    CALLED(PIMRegisterCallback, KOBALT_Fn_PIMRegisterCallback)                                     \
    OTHER(PIMRegisterCallbackEx)                                                                   \
    CALLED(PIMGetContacts, KOBALT_Fn_PIMGetRecords)                                                \
    OTHER(PIMStartUpdateCalllog)                                                                   \
    CALLED(PIMStartUpdateCalllogEx, KOBALT_Fn_PIMStartUpdate)                                      \
    CALLED(PIMStopUpdate, KOBALT_Fn_Void)                                                          \
    CALLED(PIMGetCalllogs, KOBALT_Fn_PIMGetRecords)                                                \
    OTHER(GetPhoneList)                                                                            \
    OTHER(PIMGetContactName)                                                                       \
    OTHER(PIMRegPhoneSurpportOrNotCB)                                                              \
    /* AVRCP remote control and A2DP */                                                            \
    CALLED(AVRCPPlay, KOBALT_Fn_Void)                                                              \
    CALLED(AVRCPPause, KOBALT_Fn_Void)                                                             \
    CALLED(AVRCPStop, KOBALT_Fn_Void)                                                              \
    CALLED(AVRCPPlayLast, KOBALT_Fn_Void)                                                          \
    CALLED(AVRCPPlayNext, KOBALT_Fn_Void)                                                          \
    CALLED(AVRCPVolumeUP, KOBALT_Fn_Void)                                                          \
    CALLED(AVRCPVolumeDown, KOBALT_Fn_Void)                                                        \
    OTHER(RegPassThrCmdCbk)                                                                        \
    OTHER(A2DP_SNK_DisablePlay)                                                                    \
    OTHER(A2DP_SNK_EnablePlay)                                                                     \
    OTHER(A2DP_SNK_GetDevVolume)                                                                   \
    OTHER(A2DP_SNK_SetDevVolume)                                                                   \
    OTHER(AVRCPForcePlay)                                                                          \
    OTHER(AVRCPForcePause)                                                                         \
    OTHER(EnalbeA2DP)                                                                              \
    OTHER(DisableA2DP)                                                                             \
    OTHER(IsA2DPEnable)                                                                            \
    /* Dial-up networking and serial port */                                                       \
    CALLED(DUNConnect, KOBALT_Fn_DUNConnect)                                                       \
    CALLED(DUNGetCountry, KOBALT_Fn_DUNGetCountry)                                                 \
    CALLED(DUNGetProvider, KOBALT_Fn_DUNGetProvider)                                               \
    CALLED(DUNGetParams, KOBALT_Fn_DUNGetParams)                                                   \
    CALLED(GetClientPort, KOBALT_Fn_Void)                                                          \
    /* File transfer */                                                                            \
    OTHER(FTPGetRemoteFileList)                                                                    \
    OTHER(FTPDownLoadFile)                                                                         \
    OTHER(FTPDownLoadDir)                                                                          \
    OTHER(FTPNewFolder)                                                                            \
    OTHER(FTPSetRmtDir)                                                                            \
    OTHER(FTPGetRmtDir)                                                                            \
    OTHER(FTPPutFile)                                                                              \
    OTHER(FTPPutDir)                                                                               \
    OTHER(FTPDeleteFile)                                                                           \
    OTHER(FTPDeleteDir)                                                                            \
    OTHER(FTPCancelTransfer)                                                                       \
    OTHER(FTPRegisterStatusCallback)                                                               \
    OTHER(SetDefaultPath)                                                                          \
    OTHER(GetDefaultPath)                                                                          \
    OTHER(FTPRegisterDealReceiveFileCB)                                                            \
    OTHER(GetSavePath)                                                                             \
    /* Last connected devices */                                                                   \
    OTHER(GetLastConnectedHFDevice)                                                                \
    OTHER(GetLastConnectedAVDevice)                                                                \
    /* Object push */                                                                              \
    CALLED(PIMGetOppContacts, KOBALT_Fn_PIMGetRecords)                                             \
    OTHER(OPPPushContact)                                                                          \
    /* Host controller and vendor commands */                                                      \
    OTHER(SendDataToHostController)                                                                \
    OTHER(ExecuteHCICommand)                                                                       \
    OTHER(VendorCommand)                                                                           \
    OTHER(ExcuteCmd)                                                                               \
    /* Miscellaneous */                                                                            \
    OTHER(RegistryWnd)

namespace kobalt::sim {

#define KOBALT_SIM_ENUM_CALLED(name, type) name,
#define KOBALT_SIM_ENUM_OTHER(name) name,
// One identifier per entry point, in table order; the entry point KOBALT_X is Api::X.
enum class Api : std::size_t {
    KOBALT_SIM_ENTRY_POINTS(KOBALT_SIM_ENUM_CALLED, KOBALT_SIM_ENUM_OTHER) Count
};
#undef KOBALT_SIM_ENUM_CALLED
#undef KOBALT_SIM_ENUM_OTHER

inline constexpr std::size_t kApiCount = static_cast<std::size_t>(Api::Count);

// The exported name of an entry point, "KOBALT_" included.
std::string_view ApiName(Api api);

// The entry point exported under exactly this name, if any.
std::optional<Api> FindApi(std::string_view name);

} // namespace kobalt::sim
