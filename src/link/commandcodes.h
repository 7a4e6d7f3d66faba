#pragma once

#include <QString>

// The command codes of the card's TCP command service, one table for the
// tool, the batch worker and the card simulator. A request and its reply
// carry the same code; codes the card sends unasked are marked.
namespace CommandCode {

enum : int {
    ReadVersion = 1, // data: programming type; reply: version text
    Reboot = 2, // no data, no reply
    SetIpSettings = 3, // replies routed to the settings page and ignored there
    SetIpSettingsDone = 4, // the link shows "Set device's IP Settings success!"
    ResetIpSettingsDone = 5, // the link shows "Reset device's IP Settings success!"
    ReadDate = 6, // reply: "yyyy-MM-dd hh:mm:ss"
    SetDate = 7, // the link tells the card's result byte itself
    ListLogs = 8, // reply: length-prefixed names
    OpenLog = 9, // data: file name; reply: result byte
    LogText = 10, // unasked: log text
    OpenSerialPort = 11, // data: open request, or none to close; reply: result byte
    SerialSend = 12, // data: bytes for the serial port; reply: result byte
    SerialReceived = 13, // unasked: bytes the card's serial port received
    ReadFixedParams = 14, // reply: JSON object
    WriteFixedParams = 15, // data: compact JSON; reply: result byte
    ReadPorts = 16, // reply: four 3-byte port records
    WritePorts = 17, // data: four port records; reply: result byte
    ConsoleCommand = 18, // data: the command line
    ConsoleAnswer = 19, // the card's answer text
    StartProgramming = 256, // data: type, size (32-bit big-endian); reply: result byte
    ImageChunk = 257, // data: [sequence byte,] up to 1024 image bytes; reply: result byte
    Installing = 258, // unasked: the card installs the image
    ProgrammingFinished = 259, // unasked: the card has finished
    BackupPreparing = 336, // unasked: the card prepares a backup
    StartBackup = 337, // data: type; reply: backup size (32-bit big-endian)
    BackupData = 338, // reply: the next piece of the backup
};

// The replies whose data is one result byte.
inline bool repliesWithResult(int cmd)
{
    return cmd == SetDate || cmd == OpenLog || cmd == OpenSerialPort || cmd == SerialSend || cmd == WriteFixedParams
        || cmd == WritePorts || cmd == StartProgramming || cmd == ImageChunk;
}

// The programming type carried by StartProgramming, ReadVersion and
// StartBackup, by its fixed name ("APP", "Firmware", "Patch", "root"; the
// number for any other value), as backup names, the journal and the batch's
// CSV give it.
inline QString programmingTypeName(int type)
{
    static const char* const names[] = { "APP", "Firmware", "Patch", "root" };
    return type >= 0 && type < 4 ? QString::fromLatin1(names[type]) : QString::number(type);
}

} // namespace CommandCode
