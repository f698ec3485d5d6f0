// The notification a control raises towards the window that owns it: a type ("click",
// "selectchanged", "click_select_end", "timer", ...), the sender and its name, and two numbers.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>
#include <QtGlobal>

namespace nk7x {

struct UiNotify {
    QString type;             // "click", "selectchanged", "itemselect", "timer", ...
    QPointer<QWidget> sender; // the control; may be null once it is gone
    QString name;             // sender's objectName at the time it was raised
    qint64 wParam = 0;
    qint64 lParam = 0;
};

// What a window implements to receive its controls' notifications.
class UiNotifyReceiver {
  public:
    virtual ~UiNotifyReceiver() = default;
    virtual void Notify(const UiNotify& msg) = 0;
};

// Delivers the notification to the nearest ancestor (the sender included) that implements
// UiNotifyReceiver. Returns false when no window owns the sender. Call on the UI thread.
bool RaiseNotify(QWidget* sender, const QString& type, qint64 wParam = 0, qint64 lParam = 0);

} // namespace nk7x
