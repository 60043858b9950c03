#pragma once
// The ids of the table's texts the program shows, by what they say. A box is
// known by the id of the text that leads it (see RunEvents), so front ends and
// tests name these, never the words.
namespace qv {

inline constexpr int kMsgDirect = 1108;
inline constexpr int kMsgRemote = 1109;
inline constexpr int kMsgWindowTitle = 1117;
inline constexpr int kMsgStatus = 1126;
inline constexpr int kMsgNotAvailable = 1149;
inline constexpr int kMsgPortNotOpened = 1164;
inline constexpr int kMsgWriteProblem = 1186;
inline constexpr int kMsgNakError = 1187;
inline constexpr int kMsgCrcError = 1188;
inline constexpr int kMsgHardwareOverride = 1192;
inline constexpr int kMsgFileIsForVersion = 1193;
inline constexpr int kMsgLoadAnyway = 1194;
inline constexpr int kMsgBootVersion = 1195;
inline constexpr int kMsgNoValidKey = 1196;
inline constexpr int kMsgPcTime = 1198;
inline constexpr int kMsgStationWord = 1199;
inline constexpr int kMsgNoHelp = 1200;
inline constexpr int kMsgChecksumError = 1202;
inline constexpr int kMsgSelectFile = 1203;
inline constexpr int kMsgStationNotReady = 1205;
inline constexpr int kMsgFileNotFound = 1206;
inline constexpr int kMsgTimeSet = 1207;
inline constexpr int kMsgSetStationTime = 1208;
inline constexpr int kMsgFileLabel = 1209;
inline constexpr int kMsgTimeError = 1212;
inline constexpr int kMsgRetry = 1213;
inline constexpr int kMsgOtherStation = 1214;
inline constexpr int kMsgHardwareVersionWord = 1215;
inline constexpr int kMsgHardwareDiffers = 1216;
inline constexpr int kMsgFileIsForHardware = 1217;
inline constexpr int kMsgFileWillChange = 1218;
inline constexpr int kMsgFileWillChangeEnd = 1219;
inline constexpr int kMsgLowVoltage = 1222;
inline constexpr int kMsgVolts = 1223;
inline constexpr int kMsgContinue = 1224;
inline constexpr int kMsgFirmwareLoaded = 1226;
inline constexpr int kMsgDoNotRemove = 1227;
inline constexpr int kMsgClickAfterBeeps = 1228;
inline constexpr int kMsgToSetClock = 1229;
inline constexpr int kMsgThenComplete = 1230;
inline constexpr int kMsgSameFirmware = 1231;
inline constexpr int kMsgReprogramAnyway = 1232;
inline constexpr int kMsgLoadedAnyway = 1235;
inline constexpr int kMsgFirmwareUnusable = 1236;
inline constexpr int kMsgNeeds560 = 1237;
inline constexpr int kMsgChooseFolder = 1238;
inline constexpr int kMsgUpgradeComplete = 1239;
inline constexpr int kMsgNowHasFirmware = 1240;

}  // namespace qv
