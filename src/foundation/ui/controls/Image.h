#pragma once
// A picture control that tiles its picture across the whole control when it
// is neither stretched nor centred.

#include <QPixmap>
#include <QWidget>

class Tyq_Image : public QWidget {
    Q_OBJECT
public:
    explicit Tyq_Image(QWidget* parent = nullptr);

    QPixmap Picture() const { return picture_; }
    void SetPicture(const QPixmap& value);
    bool Stretch() const { return stretch_; }
    void SetStretch(bool value);
    bool Center() const { return center_; }
    void SetCenter(bool value);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap picture_;
    bool stretch_ = false;
    bool center_ = false;
    bool painting_ = false;
};
