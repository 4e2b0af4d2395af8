#pragma once
// Small types shared by the program's own widgets: the notify event and the
// text alignment of the old class library.

#include "foundation/Messages.h"
#include "foundation/ui/base/FormBase.h"
#include "platform/Exceptions.h"

#include <QObject>
#include <QTimer>
#include <Qt>
#include <functional>
#include <initializer_list>

// Runs the work of an event override or slot under the program's one
// guard (RunGuarded): no exception reaches Qt's event loop.
template <typename F> void GuardedCall(F&& work) { RunGuarded(std::function<void()>(std::forward<F>(work))); }

// The same for painting: the message waits until the painting is over.
template <typename F> void GuardedPaint(F&& work)
{
    try {
        work();
    } catch (const EAbort&) {
    } catch (const Exception& e) {
        const QString text = EscapeBars(e.Message());
        QTimer::singleShot(0, [text] { ShowError(text); });
    }
}

// A widget's event without arguments; Sender is the component that fires
// it. The program's change notifications use TNotifyEvent (TypeList.h).
using TQtNotifyEvent = std::function<void(QObject* Sender)>;

enum TAlignment { taLeftJustify, taRightJustify, taCenter };

inline Qt::Alignment HorizontalAlignment(TAlignment a)
{
    switch (a) {
    case taRightJustify: return Qt::AlignRight;
    case taCenter: return Qt::AlignHCenter;
    case taLeftJustify: break;
    }
    return Qt::AlignLeft;
}

// A set of enumeration values (the old class library's "set of").
template <typename E> class TSet {
public:
    constexpr TSet() = default;
    constexpr TSet(std::initializer_list<E> values)
    {
        for (E v : values)
            bits_ |= 1u << static_cast<unsigned>(v);
    }
    constexpr bool Contains(E v) const { return (bits_ >> static_cast<unsigned>(v)) & 1u; }
    constexpr TSet& Include(E v)
    {
        bits_ |= 1u << static_cast<unsigned>(v);
        return *this;
    }
    constexpr TSet& Exclude(E v)
    {
        bits_ &= ~(1u << static_cast<unsigned>(v));
        return *this;
    }
    constexpr unsigned Bits() const { return bits_; }
    constexpr bool operator==(const TSet&) const = default;

private:
    unsigned bits_ = 0;
};

// The mouse events of the old class library.
using TMouseEvent
    = std::function<void(QObject* Sender, Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(QObject* Sender, Qt::KeyboardModifiers Shift, int X, int Y)>;
