// Colour arithmetic for the self-drawn buttons: RGB <-> packed HLS and a lightness and
// saturation shift in percent. Pure code; the exact single-precision and truncation steps
// matter, because the button faces must come out the same on every machine.
#pragma once

#include <cstdint>

namespace dravik::controls {

struct Rgb {
    int r = 0;   // each channel 0..255
    int g = 0;
    int b = 0;
    bool operator==(const Rgb&) const = default;
};

// Packed HLS, like a platform colour value: byte 0 hue (0..255 for 0..360 degrees),
// byte 1 lightness, byte 2 saturation, byte 3 zero.
using PackedHls = std::uint32_t;

inline constexpr int HueOf(PackedHls hls) { return static_cast<int>(hls & 0xFF); }
inline constexpr int LightnessOf(PackedHls hls) { return static_cast<int>((hls >> 8) & 0xFF); }
inline constexpr int SaturationOf(PackedHls hls) { return static_cast<int>((hls >> 16) & 0xFF); }
inline constexpr PackedHls PackHls(int h, int l, int s) {
    return static_cast<PackedHls>((h & 0xFF) | ((l & 0xFF) << 8) | ((s & 0xFF) << 16));
}

PackedHls RgbToHls(Rgb colour);
Rgb HlsToRgb(PackedHls hls);
// One channel from p, q and a hue in degrees (-120..480 accepted); 0..255.
int HueToChannel(float p, float q, float hueDegrees);
// Moves lightness by dL and saturation by dS percent (-100..100): positive toward 255,
// negative toward 0. Hue is kept.
Rgb AdjustColour(Rgb colour, int dL, int dS);

}  // namespace dravik::controls
