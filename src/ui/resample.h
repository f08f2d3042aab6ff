#pragma once
// Art between the scales it is drawn at: the nearest larger picture reduced,
// or above the largest scale that one enlarged, smoothly and to the exact
// size the layout gives the place, so that a picture fills its place to the
// pixel at any DPI.
#include "ui/pixmap.h"

namespace kv::ui {

// pic at width x height. Reducing averages the source pixels each target pixel
// covers (by area); enlarging interpolates linearly between pixel centres.
// An area of one colour keeps exactly that colour, so the key colour around a
// button's shape stays key. The same size gives pic unchanged; a size below 1
// gives an empty pixmap.
[[nodiscard]] TPixmap Resampled(const TPixmap& pic, int width, int height);

}  // namespace kv::ui
