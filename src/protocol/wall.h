// Frames of the video wall: power, wall mode, wall settings, location test and the
// colour gains. All are built for monitor ID 1; AddressAndSealWall readdresses them.
#pragma once

#include "protocol/frame.h"

#include <span>
#include <string_view>

namespace dravik::protocol {

inline constexpr Byte kCmdWall = 0x22;
inline constexpr Byte kCmdGainSet = 0x36;
inline constexpr Byte kCmdGainQuery = 0x37;

Frame BuildWallPower(bool on);  // 18 02 / 18 01
Frame BuildWallMode(bool on);   // 22 01 02 00 00 / 22 00 02 00 00

// 22 E F P M: E enable, F frame compensation, P the row's "Pos" text as a decimal value
// (empty or non-numeric -> 0), M the matrix byte for the row's model (base 15 or 10).
Frame BuildWallSettings(bool enable, bool frameComp, std::string_view posText, std::string_view model,
                        int columns, int rows);

// (rows - 1) * 15 + columns for the base-15 matrix models, (rows - 1) * 10 + columns
// otherwise; low 8 bits.
Byte MatrixByte(std::string_view model, int columns, int rows);
bool IsBase15MatrixModel(std::string_view model);

// A wall display's monitor ID: the decimal value of the ID text, or 1 when it lies
// outside 1..25 (an empty or non-numeric text included).
Byte WallMonitorId(std::string_view idText);
void AddressAndSealWall(Frame& frame, std::string_view idText);

// The location test: remote key FD A1.
Frame BuildLocationTest();

// Colour gains.
Frame BuildGainRequest();  // 37
// 36 R G B, or 36 R G B 80 80 80 for the models that take the long form.
Frame BuildGainSet(int red, int green, int blue, std::string_view model);
bool UsesLongGainForm(std::string_view model);

// True, with the gains set, for a reply 21 .. .. .. len>4 .. 37 R G B whose bytes 7..9
// arrived; otherwise false and the gains unchanged.
bool DecodeGainReply(std::span<const Byte> reply, int& red, int& green, int& blue);

// True when a video wall keeps a scanned display of this model text.
bool IsWallScanModel(std::string_view model);

}  // namespace dravik::protocol
