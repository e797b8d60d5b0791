// Qt 3 integer colour arithmetic (QColor::hsv/setHsv/dark/light).
//
// Qt 6 works on 16-bit HSV internally, so QColor::getHsv(), darker() and lighter() give
// slightly different integers (up to +-2 per channel for darker(200)). Where a control's look is
// given as Qt 3 colour arithmetic (HSV tints, dark(200)), use these functions so that the colours
// are exactly the Qt 3 ones.
#pragma once

#include "../orvelkit_global.h"

#include <QColor>

namespace Qt3 {

// The Qt 3 HSV triple of `color`: hue 0..359 (or -1 for an achromatic colour), saturation and
// value 0..255. Null pointers are allowed (that component is not stored). An invalid colour
// gives -1, 0, 0.
ORVELKIT_EXPORT void hsv(const QColor& color, int* h, int* s, int* v);

// The Qt 3 RGB colour of an HSV triple. Hue -1 (or saturation 0) is achromatic; a hue of 360 or
// more is taken modulo 360. A hue below -1 or a saturation or value outside 0..255 gives an
// invalid colour, as an untouched Qt 3 QColor.
ORVELKIT_EXPORT QColor fromHsv(int h, int s, int v);

// Qt 3 QColor::dark(): the value divided by factor/100 (factor 200 halves it). A factor below
// 100 lightens (light(10000 / factor)); a factor <= 0 or an invalid colour returns the colour
// unchanged. The alpha of `color` is kept.
ORVELKIT_EXPORT QColor dark(const QColor& color, int factor = 200);

// Qt 3 QColor::light(): the value multiplied by factor/100; a value above 255 is capped and the
// excess taken off the saturation. A factor below 100 darkens (dark(10000 / factor)); a factor
// <= 0 or an invalid colour returns the colour unchanged. The alpha of `color` is kept.
ORVELKIT_EXPORT QColor light(const QColor& color, int factor = 150);

} // namespace Qt3
