#include "protocol/wall.h"

#include "protocol/catalogue.h"
#include "protocol/models.h"
#include "protocol/reply.h"

namespace dravik::protocol {

namespace {

constexpr std::string_view kLongGainModels[] = {"KC-55D3", "KC-55H3"};

Byte Low8(long long v) { return static_cast<Byte>(static_cast<unsigned long long>(v) & 0xFFu); }

}  // namespace

Frame BuildWallPower(bool on) { return on ? BuildPowerOn() : BuildPowerOff(); }

Frame BuildWallMode(bool on) { return Frame::Build(kCmdWall, {Byte(on ? 0x01 : 0x00), 0x02, 0x00, 0x00}); }

bool IsBase15MatrixModel(std::string_view model) { return Contains(wall_models::kBase15Matrix, model); }

Byte MatrixByte(std::string_view model, int columns, int rows) {
    // Wide arithmetic: the edits can hold any int, and only the low 8 bits go out.
    const long long step = IsBase15MatrixModel(model) ? 15 : 10;
    return Low8((static_cast<long long>(rows) - 1) * step + columns);
}

Frame BuildWallSettings(bool enable, bool frameComp, std::string_view posText, std::string_view model,
                        int columns, int rows) {
    return Frame::Build(kCmdWall, {Byte(enable ? 0x01 : 0x00), Byte(frameComp ? 0x01 : 0x00),
                                   Low8(DecimalValue(posText)), MatrixByte(model, columns, rows)});
}

Byte WallMonitorId(std::string_view idText) {
    const long long id = DecimalValue(idText);
    return (id < 1 || id > 25) ? Byte{1} : static_cast<Byte>(id);
}

void AddressAndSealWall(Frame& frame, std::string_view idText) { frame.SetMonitorId(WallMonitorId(idText)); }

Frame BuildLocationTest() { return BuildIrKey(IrKey::Menu); }

Frame BuildGainRequest() { return Frame::Build(kCmdGainQuery, {}); }

bool UsesLongGainForm(std::string_view model) { return Contains(kLongGainModels, model); }

Frame BuildGainSet(int red, int green, int blue, std::string_view model) {
    const Byte r = LevelByte(red), g = LevelByte(green), b = LevelByte(blue);
    if (UsesLongGainForm(model)) return Frame::Build(kCmdGainSet, {r, g, b, 0x80, 0x80, 0x80});
    return Frame::Build(kCmdGainSet, {r, g, b});
}

bool DecodeGainReply(std::span<const Byte> reply, int& red, int& green, int& blue) {
    const Reply r(reply);
    // The three gains, bytes 7..9, must all have arrived.
    if (r.size() < 10 || !r.hasReplyHeader() || !(r.signedLength() > 4) || r.command() != kCmdGainQuery)
        return false;
    red = *r.at(7);
    green = *r.at(8);
    blue = *r.at(9);
    return true;
}

bool IsWallScanModel(std::string_view model) { return Contains(wall_models::kScanFilter, model); }

}  // namespace dravik::protocol
