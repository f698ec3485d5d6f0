// The program's message box: a small modal window with a title, a text (words or a language key)
// and OK, or OK and Cancel; ShowMessage builds it, waits for the answer and returns it.
#pragma once

#include "windows/SecondaryWnd.h"

#include <QString>

#include <functional>

class QEventLoop;

namespace nk7x {

class FontTable;
class LanguageTexts;

// What every message box takes from the running program; the main window sets it at start-up.
struct MsgWndSetup {
    QString skinFolder;                                // empty: the program folder's "skin"
    std::function<QString(const QString& key)> lookup; // language text of a key
    std::function<bool(const QString& key)> hasText;   // whether the language has that key
    const FontTable* fonts = nullptr;                  // window fonts; null: application font
};

void SetMsgWndSetup(MsgWndSetup setup);
// Convenience for the main window: texts from its language (borrowed, must outlive the boxes).
void SetMsgWndLanguage(const LanguageTexts* texts, const FontTable* fonts, const QString& skinFolder);
const MsgWndSetup& GetMsgWndSetup();

class CMsgWnd : public CSecondaryWnd {
    Q_OBJECT
  public:
    static QString ClassName() { return QStringLiteral("MsgWnd"); }
    // Answers.
    static constexpr int kConfirm = 1;
    static constexpr int kCancel = 0;

    explicit CMsgWnd(QWidget* owner = nullptr);
    ~CMsgWnd() override;

    // Builds the "XML_MSG" layout (or the skin's "xml/MessageBox.ui" when the resource list does not
    // name one). False when no layout with the five controls could be built.
    bool Build();

    // Empty leaves the layout's title / text.
    void SetTitle(const QString& title);
    void SetText(const QString& text, bool isLanguageKey);
    // 0: OK only; 1: OK and Cancel; other values keep the layout's buttons.
    void SetButtons(int buttons);

    // Applies the DPI; one that is not allowed becomes 96 (and says so in the debug output).
    // Returns the DPI applied.
    int SetDpi(int dpi);

    // Centres on the owner (or the screen), shows the box modally and returns the answer.
    int ShowModal();
    // Ends the box with an answer.
    void Close(int answer);
    bool IsRunning() const { return m_loop != nullptr; }

    void Notify(const UiNotify& msg) override;

  protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    QWidget* m_title = nullptr;
    QWidget* m_text = nullptr;
    QWidget* m_confirm = nullptr;
    QWidget* m_cancel = nullptr;
    QWidget* m_close = nullptr;
    int m_answer = kCancel;
    bool m_answered = false;
    QEventLoop* m_loop = nullptr;
    bool m_notice = false; // shown by ShowNotice: closes itself when answered
    friend CMsgWnd* ShowNotice(QWidget*, const QString&, const QString&, int);
};

// Shows a box with finished words and OK that waits for nothing (the program goes on; the box
// closes itself when answered and is deleted then). Null when no box could be built.
CMsgWnd* ShowNotice(QWidget* owner, const QString& title, const QString& text, int dpi);

// Builds, shows and ends one message box. `owner` may be null; `title` and `text` may be empty;
// with `textIsKey` the text is a language key. Returns 1 for "confirm_btn", 0 for "cancel_btn",
// "closebtn" or when no box could be built (nothing is confirmed then).
int ShowMessage(QWidget* owner, const QString& title, const QString& text, int dpi, bool textIsKey,
                int buttons);

} // namespace nk7x
