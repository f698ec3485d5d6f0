// The headset's two sound panels alone: each built from its skin layout into a window that routes
// the notifications as the main window does, to a headset page stand-in that records every call.
// A second pair of panels plays another headset page's.
#pragma once

#include "panels/sound/EqChartView.h"
#include "panels/sound/HeadsetSoundActions.h"
#include "panels/sound/MagicControlUI.h"
#include "panels/sound/SoundPanels.h"
#include "panels/sound/SoundRoutes.h"
#include "panels/sound/Voice6533ControlUI.h"
#include "ui/ControlFactory.h"
#include "ui/LanguageTexts.h"
#include "ui/NotifyRouter.h"
#include "ui/UiWindow.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QStringList>

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <vector>

namespace nk7x::test {

inline const LanguageTexts& SoundTexts(bool chinese = false) {
    static LanguageTexts en;
    static LanguageTexts zh;
    static const bool loaded = en.LoadFile(QStringLiteral(NK7X_SOURCE_DIR "/skin/lang/lan_en.json")) &&
                               zh.LoadFile(QStringLiteral(NK7X_SOURCE_DIR "/skin/lang/lan_zh.json"));
    (void)loaded;
    return chinese ? zh : en;
}

inline QString SkinLayout(const char* file) {
    return QStringLiteral(NK7X_SOURCE_DIR "/skin/XML/CustomControlXML/") + QString::fromLatin1(file);
}

// The headset page as the routes see it: every call is kept as "Name" or "Name n"; the save and
// rename answers are set by the test.
class RecordingActions : public IHeadsetSoundActions {
  public:
    void SetMagicEnabled() override { calls << QStringLiteral("SetMagicEnabled"); }
    void SelectMagicVoice(int choice) override { calls << QStringLiteral("SelectMagicVoice %1").arg(choice); }
    void ToggleMicMute() override { calls << QStringLiteral("ToggleMicMute"); }
    void ToggleMonitorMute() override { calls << QStringLiteral("ToggleMonitorMute"); }
    void SelectEqPreset(int eqType) override { calls << QStringLiteral("SelectEqPreset %1").arg(eqType); }
    void SetMicVolume() override { calls << QStringLiteral("SetMicVolume"); }
    void SetMonitorVolume() override { calls << QStringLiteral("SetMonitorVolume"); }
    void SetEqBand(int band) override { calls << QStringLiteral("SetEqBand %1").arg(band); }
    void SelectCustomEq() override { calls << QStringLiteral("SelectCustomEq"); }
    int SaveCustomEq() override {
        calls << QStringLiteral("SaveCustomEq");
        return saveAnswer;
    }
    int RenameCustomEq() override {
        calls << QStringLiteral("RenameCustomEq");
        return renameAnswer;
    }
    void DeleteCustomEq() override { calls << QStringLiteral("DeleteCustomEq"); }

    QStringList calls;
    int saveAnswer = 1;
    int renameAnswer = 1;
};

// One headset page's pair of panels.
struct SoundPanels {
    QPointer<CMagicControlUI> magic;
    QPointer<CVoice6533ControlUI> voice;
};

class SoundPanelWindow : public UiWindow {
  public:
    SoundPanelWindow() {
        RegisterSoundPanels(ControlFactory::Instance());
        resize(720, 440);
        shown = AddPanels();
        other = AddPanels();

        SoundRoutesContext ctx;
        ctx.currentActions = [this]() -> IHeadsetSoundActions* { return isHeadset ? &actions : nullptr; };
        ctx.currentMagicPanel = [this]() -> CMagicControlUI* { return shown.magic; };
        ctx.currentVoicePanel = [this]() -> CVoice6533ControlUI* { return shown.voice; };
        ctx.showMessage = [this](const QString& key) { messages << key; };
        ctx.window = this;
        routes = std::make_unique<SoundRoutes>(std::move(ctx));
        routes->Install(router);
    }
    ~SoundPanelWindow() override { closing = true; }

    SoundPanels AddPanels() {
        SoundPanels p;
        p.magic = qobject_cast<CMagicControlUI*>(BuildLayout(SkinLayout("MagicControl.xml"), this));
        p.voice = qobject_cast<CVoice6533ControlUI*>(BuildLayout(SkinLayout("Voice6533Control.xml"), this));
        for (QWidget* w : {static_cast<QWidget*>(p.magic.data()), static_cast<QWidget*>(p.voice.data())})
            if (w) {
                w->setGeometry(rect());
                w->hide();
            }
        ReloadText(SoundTexts());
        if (p.voice)
            p.voice->SetLanguageTexts(&SoundTexts());
        return p;
    }

    // One panel at a time fills the window, as the page's tabs show them.
    void ShowOnly(QWidget* panel) {
        for (QWidget* w :
             {static_cast<QWidget*>(shown.magic.data()), static_cast<QWidget*>(shown.voice.data()),
              static_cast<QWidget*>(other.magic.data()), static_cast<QWidget*>(other.voice.data())})
            if (w)
                w->setVisible(w == panel);
        if (panel)
            panel->setGeometry(rect());
        show();
        QApplication::processEvents();
    }

    void Notify(const UiNotify& msg) override {
        if (closing)
            return;
        notified << msg.type + QLatin1Char(' ') + msg.name;
        router.Dispatch(msg);
    }

    template <class T = QWidget> static T* In(QWidget* panel, const char* name) {
        return qobject_cast<T*>(UiWindow::FindSubControlByName(panel, QString::fromLatin1(name)));
    }
    template <class T = QWidget> T* Voice(const char* name) const { return In<T>(shown.voice, name); }
    template <class T = QWidget> T* Magic(const char* name) const { return In<T>(shown.magic, name); }

    // A user click: false when the button is missing or disabled.
    static bool Click(QWidget* panel, const char* name) {
        auto* b = In<QAbstractButton>(panel, name);
        if (!b || !b->isEnabled())
            return false;
        b->click();
        return true;
    }
    bool ClickVoice(const char* name) const { return Click(shown.voice, name); }
    bool ClickMagic(const char* name) const { return Click(shown.magic, name); }

    // A user's key step on a slider (not a drag): one value change.
    static void StepSlider(QAbstractSlider* s, int to) {
        ASSERT_NE(s, nullptr);
        ASSERT_FALSE(s->isSliderDown());
        s->setValue(to);
    }

    SoundPanels shown;
    SoundPanels other;
    bool isHeadset = true;
    RecordingActions actions;
    NotifyRouter router;
    std::unique_ptr<SoundRoutes> routes;
    QStringList messages;
    QStringList notified; // type and control name of every notification
    bool closing = false;
};

inline std::array<bool, kFeatureCount> AllFeatures(bool on) {
    std::array<bool, kFeatureCount> a{};
    a.fill(on);
    return a;
}

// What a headset reached only through its sound card's mixer offers.
inline std::array<bool, kFeatureCount> MixerFeatures() {
    std::array<bool, kFeatureCount> a = AllFeatures(false);
    for (Feature f : {Feature::MicVolume, Feature::MicMute, Feature::MonitorVolume, Feature::MonitorMute})
        a[static_cast<std::size_t>(f)] = true;
    return a;
}

class SoundPanelTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_window = std::make_unique<SoundPanelWindow>();
        ASSERT_NE(m_window->shown.magic, nullptr) << "the layout builds a voice-effect panel";
        ASSERT_NE(m_window->shown.voice, nullptr) << "the layout builds a sound panel";
    }
    void TearDown() override { m_window.reset(); }

    SoundPanelWindow& Window() const { return *m_window; }
    CMagicControlUI& Magic() const { return *m_window->shown.magic; }
    CVoice6533ControlUI& Voice() const { return *m_window->shown.voice; }
    RecordingActions& Actions() const { return m_window->actions; }

    // Which of the options named prefix + first..last are checked.
    std::vector<int> Checked(QWidget* panel, const char* prefix, int first, int last) const {
        std::vector<int> on;
        for (int i = first; i <= last; ++i) {
            const QByteArray name = QByteArray(prefix) + QByteArray::number(i);
            auto* b = SoundPanelWindow::In<QAbstractButton>(panel, name.constData());
            if (b && b->isChecked())
                on.push_back(i);
        }
        return on;
    }

    std::unique_ptr<SoundPanelWindow> m_window;
};

} // namespace nk7x::test
