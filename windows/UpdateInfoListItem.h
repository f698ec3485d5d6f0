// CUpdateInfoListItemUI: one product in the settings window's update list — a tick box with the
// product's name, the installed and the newest version, a status text, progress and a done mark,
// all following the entry's state. Its user data is the download location.
#pragma once

#include <QCheckBox>
#include <QColor>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QString>
#include <QWidget>

namespace nk7x {

class CUpdateInfoListItemUI : public QWidget {
    Q_OBJECT
  public:
    static QString ClassName() { return QStringLiteral("UpdateInfoListItemUI"); }
    static constexpr int kHeight = 50;
    static constexpr int kStateCount = 9;

    // What one state shows.
    struct StateLook {
        const char* textKey;
        bool optionEnabled;
        bool progress;
        bool doneMark;
        quint32 textColor;
        quint32 disabledTextColor;
    };
    static const StateLook& Look(int state);

    explicit CUpdateInfoListItemUI(QWidget* parent = nullptr);

    // Finds the parts by name once the content has been built into the entry; false when the
    // tick box is missing (the other parts are optional).
    bool BindParts();

    // 0..8; setting the state the entry already has does nothing, one out of range is refused.
    void SetState(int state);
    int State() const { return m_state; }

    void SetName(const QString& name);
    QString Name() const;
    void SetInstalledText(const QString& text);
    QString InstalledText() const;
    // Hidden while empty.
    void SetNewestText(const QString& text);
    QString NewestText() const;
    void SetProgress(int percent);

    void SetUserData(const QString& location) { m_userData = location; }
    QString UserData() const { return m_userData; }
    void SetLocalFile(const QString& file) { m_localFile = file; }
    QString LocalFile() const { return m_localFile; }

    bool IsTicked() const;
    void SetTicked(bool on);
    bool IsOptionEnabled() const;
    void SetOptionEnabled(bool on);
    QCheckBox* Option() const { return m_option; }
    // The status text's key for the current state.
    QString StatusKey() const;
    QColor TextColor() const { return m_textColor; }

    // A status text that stands instead of the state's own (empty: the state's text again).
    void SetStatusOverride(const QString& key);

    // Gives the status text its words again (after a language switch).
    void ReloadStatusText();

    bool ContextMenusEnabled() const { return m_contextMenus; }
    void SetContextMenusEnabled(bool on) { m_contextMenus = on; }
    bool Hovered() const { return m_hovered; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    void ApplyLook();

    QPointer<QCheckBox> m_option;
    QPointer<QLabel> m_oldRev;
    QPointer<QLabel> m_newRev;
    QPointer<QLabel> m_status;
    QPointer<QProgressBar> m_progressBar;
    QPointer<QLabel> m_progressText;
    QPointer<QWidget> m_doneMark;
    int m_state = -1;
    QColor m_textColor;
    QString m_userData;
    QString m_localFile;
    QString m_statusOverride;
    bool m_contextMenus = false;
    bool m_hovered = false;
};

} // namespace nk7x
