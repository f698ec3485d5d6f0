// The key assignment editor built from its layout in a window of its own, as the main window
// builds it, with the English texts; notifications are recorded.
#pragma once

#include "panels/keys/KeySetControlUI.h"
#include "ui/ControlFactory.h"
#include "ui/LanguageTexts.h"
#include "ui/UiWindow.h"

#include <QComboBox>
#include <QString>

#include <vector>

namespace nk7x::test {

inline QString SkinFile(const char* relative) {
    return QStringLiteral(NK7X_SOURCE_DIR "/skin/") + QString::fromLatin1(relative);
}

inline const LanguageTexts& Texts(const char* file) {
    static LanguageTexts en;
    static LanguageTexts zh;
    LanguageTexts& t = QString::fromLatin1(file).contains(QLatin1String("zh")) ? zh : en;
    if (t.Count() == 0)
        t.LoadFile(SkinFile(file));
    return t;
}
inline const LanguageTexts& English() {
    return Texts("lang/lan_en.json");
}

class KeySetWindow : public UiWindow {
  public:
    KeySetWindow() {
        RegisterKeySetControl(ControlFactory::Instance());
        resize(780, 200);
        panel = qobject_cast<CKeySetControlUI*>(
            BuildLayout(SkinFile("XML/CustomControlXML/KeySetControl.xml"), this));
        if (!panel)
            return;
        panel->setGeometry(rect());
        panel->Init();
        panel->SetLanguageTexts(&English());
        panel->SetDeviceType(1);
        ReloadText(English());
    }

    void Notify(const UiNotify& msg) override { got.push_back(msg); }

    template <class T> T* Find(const char* name) const {
        return panel ? qobject_cast<T*>(FindSubControlByName(panel, QString::fromLatin1(name))) : nullptr;
    }

    CKeySetControlUI* panel = nullptr;
    std::vector<UiNotify> got;
};

} // namespace nk7x::test
