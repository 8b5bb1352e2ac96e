#include "protocol/catalogue.h"

namespace dravik::protocol {

namespace {

// The cap is compared as a signed value, so a negative level passes through (-1 -> 0xFF).
Byte CappedLevel(int level, int cap) { return level > cap ? LevelByte(cap) : LevelByte(level); }

// Halved toward zero and doubled: 51 -> 50, -3 -> -2.
int MakeEven(int level) { return (level / 2) * 2; }

Frame VideoParamsSet(Byte brightness, const DisplayValues& v, std::size_t params) {
    Bytes data;
    data.reserve(1 + params);
    data.push_back(brightness);
    for (std::size_t i = 0; i < params; ++i) data.push_back(LevelByte(v.video[i]));
    return Frame::Build(kCmdVideoParamsSet, data);
}

}  // namespace

Frame BuildIrKey(IrKey key) { return Frame::Build(kCmdIrKey, {static_cast<Byte>(key)}); }

Frame BuildPowerOn() { return Frame::Build(kCmdPower, {0x02}); }
Frame BuildPowerOff() { return Frame::Build(kCmdPower, {0x01}); }
Frame BuildPowerOffAlt() { return Frame::Build(kCmdPowerAlt, {0x00}); }

Frame BuildInputSource(Byte source, Byte subCode) {
    return Frame::Build(kCmdInputSource, {source, subCode, 0x00, 0x00});
}

Frame BuildBacklight(const DisplayValues& v) { return Frame::Build(kCmdBacklight, {LevelByte(v.backlight)}); }

Frame BuildVideoParamsQueryFrame() { return Frame::Build(kCmdVideoParamsQuery, {}); }

Frame BuildVideoParamsSetFive(const DisplayValues& v) { return VideoParamsSet(LevelByte(v.brightness), v, 4); }

Frame BuildVideoParamsSetSeven(const DisplayValues& v) { return VideoParamsSet(LevelByte(v.brightness), v, 6); }

Frame BuildVideoParamsSetSevenEven(DisplayValues& v) {
    v.brightness = MakeEven(v.brightness);
    return VideoParamsSet(LevelByte(v.brightness), v, 6);
}

Frame BuildBrightness68(const DisplayValues& v) { return Frame::Build(kCmdBrightness68, {LevelByte(v.brightness)}); }
Frame BuildBrightnessC0(const DisplayValues& v) { return Frame::Build(kCmdBrightnessC0, {LevelByte(v.brightness)}); }

Frame BuildVolumeOneCap60(const DisplayValues& v) { return Frame::Build(kCmdVolume, {CappedLevel(v.volume, 60)}); }
Frame BuildVolumeOne(const DisplayValues& v) { return Frame::Build(kCmdVolume, {LevelByte(v.volume)}); }
Frame BuildVolumeTwoCap31(const DisplayValues& v) {
    const Byte b = CappedLevel(v.volume, 31);
    return Frame::Build(kCmdVolume, {b, b});
}
Frame BuildVolumeTwo(const DisplayValues& v) {
    const Byte b = LevelByte(v.volume);
    return Frame::Build(kCmdVolume, {b, b});
}

Frame BuildLockBits(const DisplayValues& v) {
    const Byte bits = static_cast<Byte>((v.keyLock ? 0 : 0x02) | (v.irLock ? 0 : 0x01));
    return Frame::Build(kCmdLock, {bits});
}
Frame BuildKeyLock12(const DisplayValues& v) { return Frame::Build(kCmdKeyLock, {Byte(v.keyLock ? 0x02 : 0x01)}); }
Frame BuildIrLock12(const DisplayValues& v) { return Frame::Build(kCmdLock, {Byte(v.irLock ? 0x02 : 0x01)}); }
Frame BuildEitherLock(const DisplayValues& v) {
    return Frame::Build(kCmdLock, {Byte(v.keyLock || v.irLock ? 0x02 : 0x01)});
}
Frame BuildKeyLock17(const DisplayValues& v) { return Frame::Build(kCmdLock, {Byte(v.keyLock ? 0x01 : 0x07)}); }

Frame BuildTemperatureQueryFrame() { return Frame::Build(kCmdTemperature, {}); }
Frame BuildHoursQueryFrame() { return Frame::Build(kCmdHours, {0x02}); }
Frame BuildBacklightQueryFrame() { return Frame::Build(kCmdBacklightQuery, {}); }
Frame BuildResetFrame() { return Frame::Build(kCmdReset, {}); }
Frame BuildMediaPlayerFrame() { return BuildInputSource(0x16, 0x00); }
Frame BuildOpsFirstFrame() { return BuildInputSource(0x08, 0x00); }
Frame BuildOpsSecondFrame() { return BuildInputSource(0x0B, 0x00); }
Frame BuildInfoFrame() { return BuildIrKey(IrKey::Info); }

}  // namespace dravik::protocol
