// Dialog units: layouts are given in them, as the dialog templates were, and each
// window turns them into pixels with its own font.
#pragma once

#include <QFont>
#include <QRect>

// A quarter of the average character width across, an eighth of the line height
// down, measured as Japanese text lays out: a full-width character counts two
// averages, and the line is as tall as a Japanese line (a fallback font can be
// taller than the Latin one), so that the Japanese texts fit.
QRect DialogUnitRect(const QFont& font, int x, int y, int w, int h);
