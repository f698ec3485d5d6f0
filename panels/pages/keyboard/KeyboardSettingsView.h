// The keyboard page's settings controls as the profile shows them, and the short notice the page
// shows when a transfer to the keyboard failed.
#pragma once

#include "devices/keyboard/KeyboardView.h"

#include <QString>

class QWidget;

namespace nk7x {

class LanguageTexts;

// How long the failed-write notice stays up.
inline constexpr int kWriteNoticeMs = 4000;

// Fills the page's settings controls without raising a notification. Texts come from `texts` when
// given, else from the page's hidden label "text_test"; missing controls are skipped.
void ShowKeyboardSettings(QWidget* page, const KeyboardSettingsControls& controls,
                          const LanguageTexts* texts);

// The language key of the notice for a failed transfer of that kind.
QString WriteFailedTextKey(KeyboardWrite what);

// Shows the notice of a failed transfer on the page (never a modal box): its text with the result
// code, hidden again after kWriteNoticeMs. A later failure replaces the text and restarts the time.
void ShowWriteFailedNotice(QWidget* page, KeyboardWrite what, int result, const LanguageTexts* texts);

} // namespace nk7x
