#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>

#include "platform/qt/QtMessagePump.h"
#include "support/TestingRig.h"

namespace tkan::test {

// A rig whose pump dispatches Qt events as the program's does, then moves
// the program's clock and plays the script: clicks posted by one step are
// delivered by the next pump, inside whatever read is waiting then.
class QtRig {
public:
    // Program time after which a run that lost its way is given up.
    static constexpr std::uint32_t kRunLimitMs = 10 * 60 * 1000;

    explicit QtRig(Rig& r) : rig(r)
    {
        InstallQtPump(rig.pump, [this] {
            rig.ticks.now += Rig::kPumpStepMs;
            if (!bailedOut && rig.ticks.now - start_ > kRunLimitMs) {
                bailedOut = true;
                CloseModalDialogs();
                return;
            }
            rig.script.Step();
        });
        // A watchdog in real time as well: a dialog whose loop never pumps
        // would hang the suite otherwise.
        watchdog_.setSingleShot(true);
        watchdog_.setInterval(20'000);
        QObject::connect(&watchdog_, &QTimer::timeout, [this] {
            bailedOut = true;
            CloseModalDialogs();
        });
        watchdog_.start();
    }

    ~QtRig() { rig.pump.SetHook({}); }

    QtRig(const QtRig&) = delete;
    QtRig& operator=(const QtRig&) = delete;

    static void CloseModalDialogs()
    {
        while (QWidget* modal = QApplication::activeModalWidget()) {
            QPointer<QWidget> alive(modal);
            modal->close();
            if (alive && alive == QApplication::activeModalWidget())
                break;
        }
    }

    Rig& rig;
    bool bailedOut = false;

private:
    std::uint32_t start_ = rig.ticks.now;
    QTimer watchdog_;
};

// Runs `act` once a modal dialog of type D is open and its event loop runs.
// The dialogs pump while they read before they open, so a bare zero timer
// would fire too early.
template <typename D>
void WhenShown(std::function<void(D*)> act)
{
    auto* poll = new QTimer;
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, [poll, act = std::move(act)] {
        auto* dialog = qobject_cast<D*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        act(dialog);
        // A dialog the test meant to end but that stayed would hang the run.
        if (dialog == QApplication::activeModalWidget())
            dialog->close();
    });
    poll->start();
}

inline void PostMouse(QWidget* widget, QEvent::Type type)
{
    // Near the left edge, half-way down: inside a radio button's indicator
    // and inside any push button, however wide the layout made the widget.
    const QPointF centre(std::min(10.0, widget->width() / 2.0), widget->height() / 2.0);
    const QPointF global = widget->mapToGlobal(centre);
    const Qt::MouseButtons held = type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton;
    QCoreApplication::postEvent(widget, new QMouseEvent(type, centre, global, Qt::LeftButton, held, Qt::NoModifier));
}

// A click as the operator makes it, to be delivered by the next pump.
inline void PostClick(QWidget* widget)
{
    PostMouse(widget, QEvent::MouseButtonPress);
    PostMouse(widget, QEvent::MouseButtonRelease);
}

// The colour on screen a few pixels inside the widget's left edge, half-way
// down: the fill, clear of borders and of centred text.
inline QColor FillColour(QWidget* widget)
{
    const QImage image = widget->grab().toImage();
    return image.pixelColor(6, image.height() / 2);
}

inline bool SameColour(const QColor& a, const QColor& b)
{
    return std::abs(a.red() - b.red()) <= 2 && std::abs(a.green() - b.green()) <= 2 &&
           std::abs(a.blue() - b.blue()) <= 2;
}

inline std::string Rgb(const QColor& c)
{
    return std::to_string(c.red()) + "," + std::to_string(c.green()) + "," + std::to_string(c.blue());
}

}  // namespace tkan::test
