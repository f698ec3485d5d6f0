// The record button of the macro editor: a plain button that keeps its "redioimage" attribute
// for the layout without drawing it.
#pragma once

#include "ui/UiNotify.h"

#include <QPushButton>
#include <QString>

namespace nk7x {

class CRedioMacroButtonUI : public QPushButton {
    Q_OBJECT
    Q_PROPERTY(QString redioimage READ RedioImage WRITE SetRedioImage)

  public:
    explicit CRedioMacroButtonUI(QWidget* parent = nullptr) : QPushButton(parent) {
        // The window's wiring leaves custom controls alone: they raise their own notifications.
        connect(this, &QAbstractButton::clicked, this,
                [this] { RaiseNotify(this, QStringLiteral("click")); });
    }

    static QString ClassName() { return QStringLiteral("RedioMacroButton"); }

    void SetRedioImage(const QString& image) { m_redioImage = image; }
    QString RedioImage() const { return m_redioImage; }

    bool SetAttribute(const QString& name, const QString& value) {
        if (name.compare(QLatin1String("redioimage"), Qt::CaseInsensitive) != 0)
            return false;
        SetRedioImage(value);
        return true;
    }

  private:
    QString m_redioImage;
};

} // namespace nk7x
