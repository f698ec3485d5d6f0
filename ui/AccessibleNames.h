// Names the controls of a window for assistive technology in the language shown: a control that
// shows no text of its own (a picture button, a check box without a caption, an edit field with a
// placeholder) is named by its layout's text or, failing that, its tooltip; an LED under a key cap
// by the key and the word for lighting. Called again on a language switch, it renames them.
#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace nk7x {

class LanguageTexts;

// Every widget below `top` (and `top` itself). Names set by anyone else are left alone.
void NameForAccessibility(QWidget* top, const LanguageTexts& texts);
// The same with the words of a language key from `text`; an empty answer means the language has
// none, and the layout's own tooltip names the control then.
void NameForAccessibility(QWidget* top, const std::function<QString(const QString& key)>& text);

} // namespace nk7x
