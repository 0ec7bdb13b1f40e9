#include "ui/window_placement.h"

#include <algorithm>
#include <array>

namespace ctrl::ui {
namespace {

// Keeps [start, start + length) inside [low, low + span); a window longer than the span keeps
// its start at `low`, so its title bar stays reachable.
int ClampInto(int start, int length, int low, int span) {
  return std::max(low, std::min(start, low + span - length));
}

QPoint ClampOnScreen(QPoint at, const QSize& size, const QRect& screen) {
  return {ClampInto(at.x(), size.width(), screen.left(), screen.width()),
          ClampInto(at.y(), size.height(), screen.top(), screen.height())};
}

qint64 OverlapArea(const QRect& a, const QRect& b) {
  const QRect both = a.intersected(b);
  return both.isEmpty() ? 0 : qint64{both.width()} * both.height();
}

}  // namespace

QPoint PlaceBeside(const QRect& main_window, const QSize& companion, const QRect& screen, int gap) {
  const int right_x = main_window.left() + main_window.width() + gap;
  const int left_x = main_window.left() - gap - companion.width();
  const int below_y = main_window.top() + main_window.height() + gap;
  const int above_y = main_window.top() - gap - companion.height();
  const int screen_right = screen.left() + screen.width();
  const int screen_bottom = screen.top() + screen.height();

  const auto beside = [&](int x) {
    return ClampOnScreen({x, main_window.top()}, companion, screen);
  };
  const auto under = [&](int y) {
    return ClampOnScreen({main_window.left(), y}, companion, screen);
  };
  if (right_x + companion.width() <= screen_right) return beside(right_x);
  if (left_x >= screen.left()) return beside(left_x);
  if (below_y + companion.height() <= screen_bottom) return under(below_y);

  // Nothing fits whole: of the four sides pulled onto the screen, the one hiding the least of
  // the main window; on a tie the earlier side.
  const std::array<QPoint, 4> candidates{beside(right_x), beside(left_x), under(below_y),
                                         under(above_y)};
  QPoint best = candidates[0];
  qint64 best_overlap = OverlapArea(QRect(best, companion), main_window);
  for (const QPoint& candidate : candidates) {
    const qint64 overlap = OverlapArea(QRect(candidate, companion), main_window);
    if (overlap < best_overlap) {
      best = candidate;
      best_overlap = overlap;
    }
  }
  return best;
}

WindowPair PlaceTogether(const QRect& main_window, const QSize& companion, const QRect& screen,
                         int gap) {
  const QPoint beside = PlaceBeside(main_window, companion, screen, gap);
  if (!QRect(beside, companion).intersects(main_window)) return {main_window.topLeft(), beside};
  const int pair_width = main_window.width() + gap + companion.width();
  if (pair_width <= screen.width()) {
    const int left = screen.left() + (screen.width() - pair_width) / 2;
    const int top = ClampInto(main_window.top(), std::max(main_window.height(), companion.height()),
                              screen.top(), screen.height());
    return {{left, top}, {left + main_window.width() + gap, top}};
  }
  const int pair_height = main_window.height() + gap + companion.height();
  if (pair_height <= screen.height()) {
    const int top = screen.top() + (screen.height() - pair_height) / 2;
    const int left =
        ClampInto(main_window.left(), main_window.width(), screen.left(), screen.width());
    return {{left, top},
            {ClampInto(left, companion.width(), screen.left(), screen.width()),
             top + main_window.height() + gap}};
  }
  return {main_window.topLeft(), beside};
}

}  // namespace ctrl::ui
