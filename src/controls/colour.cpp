#include "controls/colour.h"

#include <algorithm>

namespace dravik::controls {

namespace {

int Clamp8(int v) { return std::clamp(v, 0, 255); }

// Integer percentage shift, division truncated toward zero.
int Shift(int v, int percent) {
    percent = std::clamp(percent, -100, 100);
    if (percent > 0) return v + (255 - v) * percent / 100;
    if (percent < 0) return v * (percent + 100) / 100;
    return v;
}

}  // namespace

PackedHls RgbToHls(Rgb colour) {
    const int r = Clamp8(colour.r), g = Clamp8(colour.g), b = Clamp8(colour.b);
    const int max = std::max({r, g, b});
    const int min = std::min({r, g, b});
    const int sum = max + min;
    const int diff = max - min;

    const float l = static_cast<float>(sum) / 510.0f;
    float s = 0.0f;
    float h = 0.0f;
    if (max != min) {
        s = l <= 0.5f ? static_cast<float>(diff) / static_cast<float>(sum)
                      : static_cast<float>(diff) / static_cast<float>(510 - sum);
        // Blue first, then green, then red: the first channel equal to max decides.
        if (b == max) {
            const float ratio = static_cast<float>(r - g) / static_cast<float>(diff);
            h = 60.0f * (4.0f + ratio);
        } else if (g == max) {
            const float ratio = static_cast<float>(b - r) / static_cast<float>(diff);
            h = 60.0f * (2.0f + ratio);
        } else {
            const float ratio = static_cast<float>(g - b) / static_cast<float>(diff);
            h = 60.0f * (6.0f + ratio);
        }
        if (h > 360.0f) h -= 360.0f;
    }
    const int hueByte = static_cast<int>(h * 255.0f / 360.0f);
    const int lightByte = static_cast<int>(l * 255.0f);
    const int satByte = static_cast<int>(s * 255.0f);
    return PackHls(hueByte, lightByte, satByte);
}

int HueToChannel(float p, float q, float h) {
    if (h > 360.0f) {
        h -= 360.0f;
    } else if (h < 0.0f) {
        h += 360.0f;
    }
    float v;
    if (h < 60.0f) {
        v = p + (q - p) * h / 60.0f;
    } else if (h < 180.0f) {
        v = q;
    } else if (h < 240.0f) {
        v = p + (q - p) * (240.0f - h) / 60.0f;
    } else {
        v = p;
    }
    return Clamp8(static_cast<int>(v * 255.0f));
}

Rgb HlsToRgb(PackedHls hls) {
    const int lightByte = LightnessOf(hls);
    const int satByte = SaturationOf(hls);
    if (satByte == 0) return Rgb{lightByte, lightByte, lightByte};

    const float s = static_cast<float>(satByte) / 255.0f;
    const float l = static_cast<float>(lightByte) / 255.0f;
    const float q = l > 0.5f ? l + s - l * s : l * (1.0f + s);
    const float p = 2.0f * l - q;
    const float h = static_cast<float>(HueOf(hls)) * 360.0f / 255.0f;
    return Rgb{HueToChannel(p, q, h + 120.0f), HueToChannel(p, q, h), HueToChannel(p, q, h - 120.0f)};
}

Rgb AdjustColour(Rgb colour, int dL, int dS) {
    const PackedHls hls = RgbToHls(colour);
    const int l = Shift(LightnessOf(hls), dL);
    const int s = Shift(SaturationOf(hls), dS);
    return HlsToRgb(PackHls(HueOf(hls), l, s));
}

}  // namespace dravik::controls
