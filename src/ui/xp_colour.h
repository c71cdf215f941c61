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

// The palette: which surface of the look takes which colour. Code and
// tests both read it, so a change of shade is made here alone.
namespace palette {
inline COLORREF IconStrip() { return FaceColour(20); }
inline COLORREF MenuBackground() { return FaceColour(75); }  // also the inner lines of a menu's frame
inline COLORREF DisabledText() { return FaceColour(-18); }   // and a separator's line
inline COLORREF SelectedItem() { return SystemColour(COLOR_HIGHLIGHT, 70, -57); }
inline COLORREF Pressed() { return SystemColour(COLOR_HIGHLIGHT, 50, -50); }
inline COLORREF HotButton() { return SystemColour(COLOR_HIGHLIGHT, 80, -66); }
inline COLORREF ButtonFace() { return FaceColour(15); }
}  // namespace palette

// Width of the icon strip in pixels: within an item, and measured from the
// menu's outer edge (the item's strip plus the frame's three lines).
constexpr int kItemIconStripWidth = 22;
constexpr int kMenuIconStripWidth = kItemIconStripWidth + 3;

}  // namespace zet
