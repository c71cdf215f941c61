#include "ui/xp_colour.h"

#include <algorithm>
#include <cmath>

namespace zet {

namespace {

// Hue, lightness and saturation, each 0..255; kept unrounded, so a colour
// that is not moved comes back unchanged.
struct Hls {
  double hue;
  double lightness;
  double saturation;
};

Hls ToHls(COLORREF colour) {
  const double r = GetRValue(colour) / 255.0, g = GetGValue(colour) / 255.0, b = GetBValue(colour) / 255.0;
  const double high = std::max({r, g, b}), low = std::min({r, g, b});
  const double lightness = (high + low) / 2;
  if (high == low) return {0, lightness * 255, 0};
  const double range = high - low;
  const double saturation = lightness <= 0.5 ? range / (high + low) : range / (2 - high - low);
  double hue;  // in sixths of the circle
  if (high == r)
    hue = (g - b) / range;
  else if (high == g)
    hue = 2 + (b - r) / range;
  else
    hue = 4 + (r - g) / range;
  if (hue < 0) hue += 6;
  return {hue / 6 * 255, lightness * 255, saturation * 255};
}

double HueToChannel(double low, double high, double hue) {
  if (hue < 0) hue += 1;
  if (hue > 1) hue -= 1;
  if (hue < 1.0 / 6) return low + (high - low) * hue * 6;
  if (hue < 0.5) return high;
  if (hue < 2.0 / 3) return low + (high - low) * (2.0 / 3 - hue) * 6;
  return low;
}

BYTE ToByte(double channel) { return static_cast<BYTE>(std::clamp(std::lround(channel * 255), 0L, 255L)); }

COLORREF FromHls(const Hls& hls) {
  const double h = hls.hue / 255, l = hls.lightness / 255, s = hls.saturation / 255;
  if (s == 0) return RGB(ToByte(l), ToByte(l), ToByte(l));
  const double high = l <= 0.5 ? l * (1 + s) : l + s - l * s;
  const double low = 2 * l - high;
  return RGB(ToByte(HueToChannel(low, high, h + 1.0 / 3)), ToByte(HueToChannel(low, high, h)),
             ToByte(HueToChannel(low, high, h - 1.0 / 3)));
}

double Move(double value, int percent) {
  if (percent > 0) return value + (255 - value) * percent / 100;
  if (percent < 0) return value * (100 + percent) / 100;
  return value;
}

}  // namespace

COLORREF TransformColour(COLORREF colour, int lightnessPercent, int saturationPercent) {
  Hls hls = ToHls(colour);
  hls.lightness = Move(hls.lightness, lightnessPercent);
  hls.saturation = Move(hls.saturation, saturationPercent);
  return FromHls(hls);
}

COLORREF SystemColour(int index, int lightnessPercent, int saturationPercent) {
  return TransformColour(::GetSysColor(index), lightnessPercent, saturationPercent);
}

COLORREF FaceColour(int lightnessPercent) { return SystemColour(COLOR_BTNFACE, lightnessPercent); }

}  // namespace zet
