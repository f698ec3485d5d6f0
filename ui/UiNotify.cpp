#include "ui/UiNotify.h"

namespace nk7x {

bool RaiseNotify(QWidget* sender, const QString& type, qint64 wParam, qint64 lParam) {
    if (!sender)
        return false;
    UiNotify msg;
    msg.type = type;
    msg.sender = sender;
    msg.name = sender->objectName();
    msg.wParam = wParam;
    msg.lParam = lParam;
    for (QWidget* w = sender; w; w = w->parentWidget()) {
        if (auto* receiver = dynamic_cast<UiNotifyReceiver*>(w)) {
            receiver->Notify(msg);
            return true;
        }
    }
    return false;
}

} // namespace nk7x
