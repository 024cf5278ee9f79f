// The settings file a first start writes: the 36 keys in order with their defaults.
#pragma once

namespace zolt::frame {

inline const char* const NewSettingsFile =
    "activeInstrument=KVR820\r\nCheckWebsiteForUpdate=Yes\r\nDateOfLastUpdateCheck=01/12/2025\r\n"
    "Language=English\r\nPMX_TriggerAvg=0.014999999999999999\r\nPMX_SyncSrc=U1\r\n"
    "PMX_TriggerLevel=0.000000000000000000\r\nKVR_ComPort=1\r\nKVR_HVAutoOff=Off\r\n"
    "KVR_BaseGateClampMode=ClampOnIdle\r\nKVR_SmallCurrentOffset=0.000000000000000000\r\n"
    "KVR_SlopeOffsetMeasuredVoltage=0.000000000000000000\r\n"
    "KVR_SlopeOffsetMeasuredCurrent=0.000000000000000000\r\nKVR_LiveReadings=Realtime\r\n"
    "KVR_AutoSave=Yes\r\nKVR_UseName=Yes\r\nKVR_SaveCSVFileLocation=results\\\r\n"
    "KVR_SaveCSVFileEnabled=Yes\r\nKVR_SavePNGFileLocation=results\\\r\n"
    "KVR_SavePNGFileEnabled=Yes\r\nKVR_SaveFileName=Sample\r\n"
    "KVR_SaveFileLocation=savedimages\\\r\nKVR_DefaultTestSetupOnStart=Yes\r\n"
    "KVR_FileTestSetup=default.tsu\r\nKVR_RunNumber=0000\r\nKVR_PrependRunNumber=No\r\n"
    "KVR_AppendRunNumber=Yes\r\nKVR_DateFormat=YYYYDDMM\r\nKVR_AppendDate=Yes\r\n"
    "KVR_AppendTime=Yes\r\nKVR_UseSpaces=No\r\nKVR_UseUnderscores=Yes\r\nKVR_DateDashs=No\r\n"
    "KVR_TimeDots=No\r\nKVR_AlternateDisplayColours=No\r\nKVR_SampleRate=50.000000000000000000\r\n";

}  // namespace zolt::frame
