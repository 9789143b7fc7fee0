// The caption's text style: measured when the images are sized, drawn on every picture.
#pragma once

#include "platform/gdi.h"

inline constexpr char kCaptionFace[] = "ＭＳ Ｐ明朝";
inline constexpr ColorRef kCaptionTextColour = 0xFFFFFF;
inline constexpr ColorRef kCaptionBackColour = 0x000000;
