// The picture control: tiled, stretched and centred pictures.

#include "foundation/ui/controls/Image.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QPainter>

namespace {

QPixmap Checker()
{
    QPixmap pm(10, 8);
    pm.fill(Qt::blue);
    QPainter p(&pm);
    p.fillRect(0, 0, 5, 4, Qt::red);
    return pm;
}

TEST(ImageTile, TilesThePictureFromTheTopLeftCorner)
{
    Tyq_Image img;
    img.resize(35, 21);
    img.SetPicture(Checker());
    const QImage shot = img.grab().toImage();
    SaveScreenshot(&img, QStringLiteral("image_tiled"));
    for (int y = 0; y < 21; ++y)
        for (int x = 0; x < 35; ++x) {
            const QRgb want = (x % 10 < 5 && y % 8 < 4) ? qRgb(255, 0, 0) : qRgb(0, 0, 255);
            ASSERT_EQ(shot.pixel(x, y), want) << x << "," << y;
        }
}

TEST(ImageTile, StretchAndCenterPaintTheUsualWay)
{
    Tyq_Image img;
    img.resize(40, 32);
    img.setAutoFillBackground(true);
    img.setPalette(QPalette(Qt::white));
    img.SetPicture(Checker());
    img.SetStretch(true);
    QImage shot = img.grab().toImage();
    EXPECT_EQ(shot.pixel(15, 12), qRgb(255, 0, 0)); // the red quarter is now 20 x 16
    EXPECT_EQ(shot.pixel(39, 31), qRgb(0, 0, 255));
    img.SetStretch(false);
    img.SetCenter(true);
    shot = img.grab().toImage();
    EXPECT_EQ(shot.pixel(15, 12), qRgb(255, 0, 0)); // the picture starts at (15, 12)
    EXPECT_EQ(shot.pixel(2, 2), qRgb(255, 255, 255)); // no tiles around it
}

} // namespace
