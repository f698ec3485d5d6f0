#include "windows/SkinNotifier.h"

namespace nk7x {

SkinChangedReceiver::~SkinChangedReceiver() {
    StopListeningToSkinChanges();
}

void SkinChangedReceiver::ListenToSkinChanges() {
    if (m_key == 0)
        m_key = SkinChangedObserver::Instance().Add(this);
}

void SkinChangedReceiver::StopListeningToSkinChanges() {
    if (m_key != 0)
        SkinChangedObserver::Instance().Remove(m_key);
    m_key = 0;
}

SkinChangedObserver& SkinChangedObserver::Instance() {
    static SkinChangedObserver observer;
    return observer;
}

int SkinChangedObserver::Add(SkinChangedReceiver* receiver) {
    const int key = m_next++;
    m_receivers[key] = receiver;
    return key;
}

void SkinChangedObserver::Remove(int key) {
    m_receivers.erase(key);
}

void SkinChangedObserver::Broadcast(const SkinChangedParam& param) {
    // A receiver may leave while it is told; walk a copy of the list.
    const auto receivers = m_receivers;
    for (const auto& [key, receiver] : receivers) {
        if (m_receivers.count(key))
            receiver->ReceiveSkinChange(SkinChangedParam(param));
    }
}

} // namespace nk7x
