#pragma once
// Helpers of the widget tests: a beep counter, an active test window, keys
// typed into the focus.

#include "foundation/ui/base/Beep.h"
#include "foundation/ui/base/FormBase.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>

// Counts beeps for its life instead of sounding them.
class BeepCounter {
public:
    BeepCounter()
    {
        previous_ = SetBeepHook([this] { ++count; });
    }
    ~BeepCounter() { SetBeepHook(previous_); }
    BeepCounter(const BeepCounter&) = delete;
    BeepCounter& operator=(const BeepCounter&) = delete;
    int count = 0;

private:
    TBeepHook previous_;
};

// Shows a window and makes it the active one, so that focus changes happen
// as they do on a desktop.
inline bool ShowActive(QWidget* w)
{
    w->show();
    w->activateWindow();
    QApplication::setActiveWindow(w);
    return QTest::qWaitForWindowActive(w);
}

// A window that previews its keys and takes every Esc, as the books do
// (leaving an edit mode, closing); it counts them.
class EscPreviewForm : public TForm {
public:
    explicit EscPreviewForm(QWidget* content)
    {
        SetKeyPreview(true);
        (new QVBoxLayout(this))->addWidget(content);
        resize(440, 220);
    }
    int escapes = 0;

protected:
    bool FormKeyDown(QKeyEvent* event) override
    {
        if (event->type() != QEvent::KeyPress || event->key() != Qt::Key_Escape)
            return false;
        ++escapes;
        return true;
    }
};

// A pixel counts as "ink" when it is clearly darker than the white ground.
inline bool IsDark(QRgb c) { return qGray(c) < 128; }

// A double click as the desktop delivers it: press, release, double-click, release.
inline void DoubleClick(QWidget* w, QPoint pos)
{
    QTest::mousePress(w, Qt::LeftButton, {}, pos);
    QTest::mouseRelease(w, Qt::LeftButton, {}, pos);
    QTest::mouseDClick(w, Qt::LeftButton, {}, pos);
    QTest::mouseRelease(w, Qt::LeftButton, {}, pos);
}

// Types text into whatever has the focus, a character at a time.
inline void Type(const QString& text)
{
    for (const QChar ch : text) {
        QWidget* w = QApplication::focusWidget();
        ASSERT_NE(w, nullptr);
        const Qt::Key key
            = ch.unicode() < 128 && ch.isLetterOrNumber() ? Qt::Key(ch.toUpper().unicode()) : Qt::Key_unknown;
        QTest::sendKeyEvent(QTest::Click, w, key, QString(ch), Qt::NoModifier);
    }
}

// A key pressed and released on whatever has the focus.
inline void Press(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    QWidget* w = QApplication::focusWidget();
    ASSERT_NE(w, nullptr);
    QTest::keyClick(w, key, mods);
}

// The colour of a pixel compared at 8 bits per channel.
inline QRgb Rgb(const QColor& c) { return c.rgb(); }
