// Catches a window whose icon is not the desktop's: the SVG resource dropped by the linker (a
// blank icon), or an icon drawn some other way than from the desktop entry's SVG.
#include <gtest/gtest.h>

#include <QApplication>
#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include "ui/main_window.h"

namespace {

QImage Rendered(QSvgRenderer& renderer, int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  renderer.render(&painter);
  return image;
}

TEST(AppIcon, IsTheDesktopEntrysSvgAtTheSizesADesktopAsksFor) {
  int argc = 1;
  char name[] = "ctrltool";
  char* argv[] = {name, nullptr};
  QApplication app(argc, argv);

  const QIcon icon = CCtrlToolDlg::AppIcon();
  ASSERT_FALSE(icon.isNull());
  QSvgRenderer desktop_icon(QStringLiteral(CTRL_DESKTOP_ICON));
  ASSERT_TRUE(desktop_icon.isValid());
  for (const int size : {16, 32, 48, 256}) {
    const QImage shown = icon.pixmap(QSize(size, size))
                             .toImage()
                             .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    ASSERT_EQ(shown.size(), QSize(size, size));
    EXPECT_EQ(shown, Rendered(desktop_icon, size)) << size << " px";
  }
}

}  // namespace
