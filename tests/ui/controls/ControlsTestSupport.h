// Helpers of the control tests: a window that records notifications, synthetic pointer events,
// and small image files.
#pragma once

#include "ui/UiNotify.h"

#include <QApplication>
#include <QColor>
#include <QFile>
#include <QImage>
#include <QMouseEvent>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QWidget>

#include <cstdlib>
#include <vector>

namespace nk7x::test {

class Recorder : public QWidget, public UiNotifyReceiver {
  public:
    explicit Recorder(QWidget* parent = nullptr) : QWidget(parent) {}
    void Notify(const UiNotify& msg) override { got.push_back(msg); }
    int Count(const QString& type) const {
        int n = 0;
        for (const UiNotify& m : got)
            n += m.type == type ? 1 : 0;
        return n;
    }
    QStringList Types() const {
        QStringList t;
        for (const UiNotify& m : got)
            t << m.type;
        return t;
    }
    std::vector<UiNotify> got;
};

inline void SendMouse(QWidget* w, QEvent::Type type, QPoint pos, Qt::MouseButton button,
                      Qt::MouseButtons held) {
    QMouseEvent ev(type, QPointF(pos), QPointF(w->mapToGlobal(pos)), button, held, Qt::NoModifier);
    QApplication::sendEvent(w, &ev);
}

inline void Press(QWidget* w, QPoint p) {
    SendMouse(w, QEvent::MouseButtonPress, p, Qt::LeftButton, Qt::LeftButton);
}
inline void Move(QWidget* w, QPoint p) {
    SendMouse(w, QEvent::MouseMove, p, Qt::NoButton, Qt::LeftButton);
}
inline void Release(QWidget* w, QPoint p) {
    SendMouse(w, QEvent::MouseButtonRelease, p, Qt::LeftButton, Qt::NoButton);
}

// A solid rectangle as an SVG file of the given size.
inline QString WriteSolidSvg(const QTemporaryDir& dir, const QString& name, QColor colour, int w = 40,
                             int h = 40) {
    const QString path = dir.filePath(name);
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(
        QStringLiteral("<svg xmlns='http://www.w3.org/2000/svg' width='%1' height='%2' viewBox='0 0 %1 %2'>"
                       "<rect width='%1' height='%2' fill='%3'/></svg>")
            .arg(w)
            .arg(h)
            .arg(colour.name())
            .toUtf8());
    return path;
}

inline QString WriteSolidPng(const QTemporaryDir& dir, const QString& name, QColor colour, int w, int h) {
    const QString path = dir.filePath(name);
    QImage img(w, h, QImage::Format_ARGB32);
    img.fill(colour);
    img.save(path);
    return path;
}

// True when the two colours are within `tolerance` per channel.
inline bool Near(QColor a, QColor b, int tolerance = 12) {
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

} // namespace nk7x::test
