#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

namespace ctrl::ui {

// Where a companion window goes beside the main window: to the right when it fits on the
// screen, else to the left, else below, else wherever it covers the least of the main window.
// Rectangles are frame geometries in one coordinate space; `screen` is the available area.
// The result is the companion's frame top-left, always inside `screen` as far as it fits.
QPoint PlaceBeside(const QRect& main_window, const QSize& companion, const QRect& screen,
                   int gap = 8);

// Where both windows go when the main window may move as well: where it is, when the companion
// fits beside or below it; else side by side (or one above the other) centred on the screen
// when the two fit so; else the main window stays and the companion goes where PlaceBeside
// puts it.
struct WindowPair {
  QPoint main_window;  // frame top-left
  QPoint companion;    // frame top-left
};
WindowPair PlaceTogether(const QRect& main_window, const QSize& companion, const QRect& screen,
                         int gap = 8);

}  // namespace ctrl::ui
