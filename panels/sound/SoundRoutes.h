// The main window's handling of the headset's sound panels: each notification of the voice-effect
// and sound panels becomes a call on the headset page shown (IHeadsetSoundActions). Every route acts
// only while the page shown is a headset and only on that page's panels.
#pragma once

#include <QString>

#include <functional>

namespace nk7x {

class CMagicControlUI;
class CVoice6533ControlUI;
class IHeadsetSoundActions;
class NotifyRouter;
class UiWindow;
struct UiNotify;

// Shown when a curve is saved or renamed under a name another curve has.
inline constexpr const char* kMsgCurveNameTaken = "message_text_5";

struct SoundRoutesContext {
    // The headset page shown; null while the page shown is no headset (or there is none).
    std::function<IHeadsetSoundActions*()> currentActions;
    // That page's panels; null when it has none.
    std::function<CMagicControlUI*()> currentMagicPanel;
    std::function<CVoice6533ControlUI*()> currentVoicePanel;
    // A message (a language key) with an OK button; empty: the program's message box.
    std::function<void(const QString& textKey)> showMessage;
    UiWindow* window = nullptr; // parent of the message boxes
};

class SoundRoutes {
  public:
    explicit SoundRoutes(SoundRoutesContext context);

    void Install(NotifyRouter& router);

    // Where a notification goes: the page shown, when it is a headset whose panel holds the
    // sender (or there is no sender); else an empty target, and nothing happens.
    struct MagicTarget {
        IHeadsetSoundActions* actions = nullptr;
        CMagicControlUI* panel = nullptr;
        explicit operator bool() const { return actions && panel; }
    };
    struct VoiceTarget {
        IHeadsetSoundActions* actions = nullptr;
        CVoice6533ControlUI* panel = nullptr;
        explicit operator bool() const { return actions && panel; }
    };
    MagicTarget MagicTargetOf(const UiNotify& msg) const;
    VoiceTarget VoiceTargetOf(const UiNotify& msg) const;

  private:
    void Show(const char* textKey) const;

    SoundRoutesContext m_ctx;
};

} // namespace nk7x
