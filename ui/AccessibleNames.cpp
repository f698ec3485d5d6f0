#include "ui/AccessibleNames.h"

#include "ui/LanguageTexts.h"
#include "ui/controls/DeviceKeyButtonUI.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QColor>
#include <QComboBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QScrollBar>
#include <QWidget>

namespace nk7x {
namespace {

using TextOf = std::function<QString(const QString& key)>;

// The name this code gave a widget last: a name equal to it may be replaced, any other was set
// by someone who knew better.
const char* const kGivenName = "_nk7xGivenName";

// What the control shows that Qt's accessibility already reads as its name.
QString ShownText(QWidget* w) {
    if (auto* b = qobject_cast<QAbstractButton*>(w))
        return b->text();
    if (auto* c = qobject_cast<QComboBox*>(w))
        return c->isEditable() ? QString() : c->currentText();
    return QString();
}

QString KeyText(const QObject* o, const char* property, const TextOf& texts) {
    const QString key = o->property(property).toString();
    return key.isEmpty() ? QString() : texts(key);
}

// A cap shows its key's caption; a spare key prints none and is called by its number.
QString CapName(const CDeviceKeyButtonUI& cap, const TextOf& texts) {
    if (!cap.text().trimmed().isEmpty())
        return cap.text();
    const QString number = cap.objectName().section(QLatin1Char('_'), -1);
    return texts(QStringLiteral("macro_key_column_text")) + QLatin1Char(' ') + number;
}

// An LED lies under its key's cap and lights it: named after the key.
QString LightName(const CDeviceKeyButtonUI& light, const TextOf& texts) {
    const CDeviceKeyButtonUI* cap = light.Cover();
    const QString key = cap ? CapName(*cap, texts) : QString();
    const QString lighting = texts(QStringLiteral("deng_Op_tab_text"));
    return key.isEmpty() ? lighting : key + QStringLiteral(" – ") + lighting;
}

// The caption a layout puts before a control in the same row (a slider's or an edit field's label).
QString LabelBefore(QWidget* w) {
    QWidget* parent = w->parentWidget();
    QLayout* layout = parent ? parent->layout() : nullptr;
    const int at = layout ? layout->indexOf(w) : -1;
    for (int i = at - 1; i >= 0; --i) {
        auto* label = qobject_cast<QLabel*>(layout->itemAt(i)->widget());
        if (label && !label->text().trimmed().isEmpty())
            return label->text();
    }
    return QString();
}

// A swatch shows only its colour: it is called by it.
QString SwatchName(QWidget* w, const TextOf& texts) {
    const QColor colour(w->property("bkcolor").toString());
    if (!colour.isValid())
        return QString();
    return texts(QStringLiteral("deng_color_text")) + QLatin1Char(' ') + colour.name().toUpper();
}

// A scroll bar is called by the area it scrolls.
QString ScrollBarName(QWidget* w) {
    if (!qobject_cast<QScrollBar*>(w))
        return QString();
    for (QWidget* up = w->parentWidget(); up; up = up->parentWidget())
        if (qobject_cast<QAbstractScrollArea*>(up))
            return up->accessibleName();
    return QString();
}

QString NameFor(QWidget* w, const TextOf& texts) {
    if (w->property("keyLight").toBool())
        if (auto* light = qobject_cast<CDeviceKeyButtonUI*>(w))
            return LightName(*light, texts);
    if (w->property("keyCap").toBool() && ShownText(w).trimmed().isEmpty())
        if (auto* cap = qobject_cast<CDeviceKeyButtonUI*>(w))
            return CapName(*cap, texts);
    if (!ShownText(w).trimmed().isEmpty())
        return QString(); // read from the control itself, and always current
    QString name = KeyText(w, "textKey", texts);
    if (name.trimmed().isEmpty())
        name = KeyText(w, "tooltipKey", texts);
    if (name.trimmed().isEmpty())
        name = w->toolTip();
    if (name.trimmed().isEmpty())
        name = SwatchName(w, texts);
    if (name.trimmed().isEmpty())
        name = ScrollBarName(w);
    if (name.trimmed().isEmpty() && !qobject_cast<QLabel*>(w))
        name = LabelBefore(w);
    return name.trimmed();
}

void Name(QWidget* w, const TextOf& texts) {
    const QString given = w->property(kGivenName).toString();
    const QString current = w->accessibleName();
    if (!current.isEmpty() && current != given)
        return;
    const QString name = NameFor(w, texts);
    if (name == current)
        return;
    w->setAccessibleName(name);
    w->setProperty(kGivenName, name.isEmpty() ? QVariant() : QVariant(name));
}

} // namespace

void NameForAccessibility(QWidget* top, const std::function<QString(const QString& key)>& text) {
    if (!top || !text)
        return;
    Name(top, text);
    for (QWidget* w : top->findChildren<QWidget*>())
        Name(w, text);
}

void NameForAccessibility(QWidget* top, const LanguageTexts& texts) {
    NameForAccessibility(top, [&texts](const QString& key) { return texts.Text(key); });
}

} // namespace nk7x
