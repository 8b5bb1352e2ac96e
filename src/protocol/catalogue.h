// The fixed display command frames. Every builder returns the frame for
// monitor ID 1; the sender addresses and seals it per target.
#pragma once

#include "protocol/frame.h"
#include "protocol/values.h"

#include <array>

namespace dravik::protocol {

// Virtual remote keys (command 0xFD); the enum value is the key code.
enum class IrKey : Byte {
    Power = 0xA0,
    Menu = 0xA1,
    Input = 0xA2,
    VolumeUp = 0xA3,
    VolumeDown = 0xA4,
    Mute = 0xA5,
    Up = 0xA6,
    Down = 0xA7,
    Left = 0xA8,
    Right = 0xA9,
    Ok = 0xB1,
    Return = 0xB2,
    Info = 0xD2,
};

inline constexpr std::array<IrKey, 13> kAllIrKeys{
    IrKey::Power, IrKey::Menu,  IrKey::Input, IrKey::VolumeUp, IrKey::VolumeDown,
    IrKey::Mute,  IrKey::Up,    IrKey::Down,  IrKey::Left,     IrKey::Right,
    IrKey::Ok,    IrKey::Return, IrKey::Info,
};

// Command bytes.
inline constexpr Byte kCmdPower = 0x18;
inline constexpr Byte kCmdPowerAlt = 0xA8;
inline constexpr Byte kCmdKeyLock = 0x1A;
inline constexpr Byte kCmdLock = 0x1C;
inline constexpr Byte kCmdBacklight = 0x30;
inline constexpr Byte kCmdVideoParamsSet = 0x32;
inline constexpr Byte kCmdVideoParamsQuery = 0x33;
inline constexpr Byte kCmdVolume = 0x44;
inline constexpr Byte kCmdBrightness68 = 0x68;
inline constexpr Byte kCmdInputSource = 0xAC;
inline constexpr Byte kCmdBrightnessC0 = 0xC0;
inline constexpr Byte kCmdIrKey = 0xFD;
inline constexpr Byte kCmdReset = 0xFE;
inline constexpr Byte kCmdHours = 0x0F;
inline constexpr Byte kCmdTemperature = 0x2F;
inline constexpr Byte kCmdBacklightQuery = 0x31;

Frame BuildIrKey(IrKey key);

Frame BuildPowerOn();       // 18 02
Frame BuildPowerOff();      // 18 01
Frame BuildPowerOffAlt();   // A8 00

// AC source sub 00 00.
Frame BuildInputSource(Byte source, Byte subCode);

Frame BuildBacklight(const DisplayValues& v);   // 30 level

// Brightness: the video-parameters query and its three set forms, and the single-byte forms.
Frame BuildVideoParamsQueryFrame();                  // 33
Frame BuildVideoParamsSetFive(const DisplayValues& v);  // 32 brightness p2..p5
Frame BuildVideoParamsSetSeven(const DisplayValues& v); // 32 brightness p2..p7
// As the seven form, with the brightness made even first; the even value is stored back.
Frame BuildVideoParamsSetSevenEven(DisplayValues& v);
Frame BuildBrightness68(const DisplayValues& v);
Frame BuildBrightnessC0(const DisplayValues& v);

Frame BuildVolumeOneCap60(const DisplayValues& v);
Frame BuildVolumeOne(const DisplayValues& v);
Frame BuildVolumeTwoCap31(const DisplayValues& v);
Frame BuildVolumeTwo(const DisplayValues& v);

Frame BuildLockBits(const DisplayValues& v);    // 1C, bit 1 = key lock clear, bit 0 = IR lock clear
Frame BuildKeyLock12(const DisplayValues& v);   // 1A 02 / 01
Frame BuildIrLock12(const DisplayValues& v);    // 1C 02 / 01
Frame BuildEitherLock(const DisplayValues& v);  // 1C 02 if either flag / 01
Frame BuildKeyLock17(const DisplayValues& v);   // 1C 01 if key lock / 07

// Status queries and service frames.
Frame BuildTemperatureQueryFrame();   // 2F
Frame BuildHoursQueryFrame();         // 0F 02
Frame BuildBacklightQueryFrame();     // 31
Frame BuildResetFrame();              // FE
Frame BuildMediaPlayerFrame();        // AC 16 00 00 00
Frame BuildOpsFirstFrame();           // AC 08 00 00 00
Frame BuildOpsSecondFrame();          // AC 0B 00 00 00
Frame BuildInfoFrame();               // FD D2

// Low 8 bits of a stored level, as it goes on the wire (300 -> 0x2C, -1 -> 0xFF).
constexpr Byte LevelByte(int level) { return static_cast<Byte>(static_cast<unsigned>(level) & 0xFFu); }

}  // namespace dravik::protocol
