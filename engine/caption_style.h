// The caption's font: measured when the images are sized, drawn on every picture.
#pragma once

#include "engine/text_box.h"

inline TextFont CaptionFont(int points)
{
    return {points, "ＭＳ Ｐ明朝"};
}
