#include "foundation/ui/controls/Image.h"

#include <QPainter>

Tyq_Image::Tyq_Image(QWidget* parent) : QWidget(parent) { setObjectName(QStringLiteral("Tyq_Image")); }

void Tyq_Image::SetPicture(const QPixmap& value)
{
    picture_ = value;
    updateGeometry();
    update();
}

void Tyq_Image::SetStretch(bool value)
{
    stretch_ = value;
    update();
}

void Tyq_Image::SetCenter(bool value)
{
    center_ = value;
    update();
}

QSize Tyq_Image::sizeHint() const { return picture_.isNull() ? QSize(105, 105) : picture_.size(); }

void Tyq_Image::paintEvent(QPaintEvent*)
{
    if (painting_ || picture_.isNull())
        return;
    painting_ = true;
    QPainter p(this);
    if (!stretch_ && !center_ && picture_.width() >= 1 && picture_.height() >= 1) {
        for (int y = 0; y < height(); y += picture_.height())
            for (int x = 0; x < width(); x += picture_.width())
                p.drawPixmap(x, y, picture_);
    } else if (stretch_) {
        p.drawPixmap(rect(), picture_);
    } else {
        p.drawPixmap((width() - picture_.width()) / 2, (height() - picture_.height()) / 2, picture_);
    }
    painting_ = false;
}
