#pragma once
// Colours of the flat look. Every colour is derived from a system colour at
// the moment it is drawn, so the look follows the user's colour scheme.

#include <windows.h>

namespace zet {

// The colour with its lightness and saturation moved by the percentages:
// a positive percentage moves the value (hue, lightness and saturation each
// on a scale of 0..255) that part of the way towards 255, a negative one
// scales it down by that part; 0 leaves it.
COLORREF TransformColour(COLORREF colour, int lightnessPercent, int saturationPercent);

// The system colour COLOR_BTNFACE with its lightness moved, the base of
// most surfaces of the look ("face +20" is FaceColour(20)).
COLORREF FaceColour(int lightnessPercent);

// The system colour index moved by the percentages.
COLORREF SystemColour(int index, int lightnessPercent = 0, int saturationPercent = 0);

}  // namespace zet
