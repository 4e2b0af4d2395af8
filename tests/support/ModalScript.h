#pragma once
// Takes the user's place for modal windows: every window opened through
// RunModal is shown and handed to the next step, which drives it with QTest
// and closes it. The test declares the steps before the code that opens the
// windows.
//
//   ModalScript modal;
//   modal.Next<TFormGet>([](TFormGet& f) {
//       QTest::keyClicks(f.findChild<QLineEdit*>("ed"), "12");
//       QTest::keyClick(f.findChild<QLineEdit*>("ed"), Qt::Key_Return);
//   });
//   modal.Next([](QDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); });
//   RunTheCodeUnderTest();
//
// The test fails on a modal window that finds no step (it is closed with
// result 0), on a window of another class than the step wants, on a window
// that its step left open, and on steps left unused at the end of the scope.

#include "foundation/ui/base/FormBase.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QStringList>
#include <QWindow>
#include <QtTest/qtestspontaneevent.h>
#include <deque>
#include <functional>
#include <typeinfo>

class ModalScript {
public:
    ModalScript() : install_([this](QDialog& dialog) { Run(dialog); }) {}
    ~ModalScript()
    {
        if (!steps_.empty())
            ADD_FAILURE() << steps_.size() << " modal step(s) not used";
    }
    ModalScript(const ModalScript&) = delete;
    ModalScript& operator=(const ModalScript&) = delete;

    ModalScript& Next(std::function<void(QDialog&)> step)
    {
        steps_.push_back(std::move(step));
        return *this;
    }
    // A step for a window of class T.
    template <typename T, typename F> ModalScript& Next(F step)
    {
        return Next([step = std::move(step)](QDialog& dialog) mutable {
            T* form = dynamic_cast<T*>(&dialog);
            if (!form) {
                ADD_FAILURE() << "modal window " << dialog.objectName().toStdString() << " is not a "
                              << typeid(T).name();
                dialog.done(0);
                return;
            }
            step(*form);
        });
    }
    // Windows seen so far, by objectName.
    const QStringList& Seen() const { return seen_; }
    int Pending() const { return static_cast<int>(steps_.size()); }

private:
    void Run(QDialog& dialog)
    {
        const std::string name = dialog.objectName().toStdString();
        seen_.append(dialog.objectName());
        if (steps_.empty()) {
            ADD_FAILURE() << "unexpected modal window " << name;
            dialog.done(0);
            return;
        }
        std::function<void(QDialog&)> step = std::move(steps_.front());
        steps_.pop_front();
        step(dialog);
        QApplication::processEvents();
        if (dialog.isVisible()) {
            ADD_FAILURE() << "modal window " << name << " was left open by its step";
            dialog.done(0);
        }
    }

    std::deque<std::function<void(QDialog&)>> steps_;
    QStringList seen_;
    ScopedModalHandler install_;
};

// Asks a window to close as the window manager does (Alt+F4, the frame's
// close button): a spontaneous close event on its platform window.
inline void CloseLikeWindowManager(QWidget* window)
{
    if (!window->windowHandle())
        return;
    QCloseEvent event;
    QSpontaneKeyEvent::setSpontaneous(&event);
    QCoreApplication::sendEvent(window->windowHandle(), &event);
    QApplication::processEvents();
}
