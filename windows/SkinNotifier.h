// The process-wide skin-change notifier: the skin picker broadcasts a new background (a plain colour
// or a picture) and every registered receiver — the main window — applies it.
#pragma once

#include <QString>
#include <QtGlobal>

#include <map>

namespace nk7x {

struct SkinChangedParam {
    bool isColor = false; // set: a plain colour; clear: a picture
    quint32 color = 0;    // ARGB, when isColor
    QString picture;      // the picture's path when !isColor; empty means no picture
};

class SkinChangedReceiver {
  public:
    virtual ~SkinChangedReceiver();
    virtual void ReceiveSkinChange(const SkinChangedParam& param) = 0;

    // Registration with the notifier; a receiver leaves it when it goes.
    void ListenToSkinChanges();
    void StopListeningToSkinChanges();
    bool Listening() const { return m_key != 0; }

  private:
    int m_key = 0;
};

class SkinChangedObserver {
  public:
    static SkinChangedObserver& Instance();

    // Returns the receiver's key (never 0).
    int Add(SkinChangedReceiver* receiver);
    void Remove(int key);
    // Hands a copy of the payload to every receiver, in the order they were added.
    void Broadcast(const SkinChangedParam& param);
    std::size_t Count() const { return m_receivers.size(); }

  private:
    std::map<int, SkinChangedReceiver*> m_receivers;
    int m_next = 1;
};

} // namespace nk7x
