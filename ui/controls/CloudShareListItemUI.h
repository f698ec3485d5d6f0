// A row of a shared-profile list: framed while the pointer is over it and it is not selected;
// activation raises "itemactivate", a context menu "menu" when the row uses one.
#pragma once

#include "ui/controls/ListElementUI.h"

#include <QColor>

namespace nk7x {

class CCloudShareListItemUI : public CListElementUI {
    Q_OBJECT
    Q_PROPERTY(QColor hotbordercolor READ HotBorderColor WRITE SetHotBorderColor)

  public:
    explicit CCloudShareListItemUI(QWidget* parent = nullptr) : CListElementUI(parent) {}

    static QString ClassName() { return QStringLiteral("CloudShareListItemUI"); }

    // The frame colour: the owning list's "itemhotbordercolor" property when it has one, else the
    // row's own colour, else the theme's highlight.
    QColor HotBorderColor() const;
    void SetHotBorderColor(const QColor& c) {
        m_hotBorder = c;
        update();
    }

  protected:
    void paintEvent(QPaintEvent* event) override;
    bool RaisesItemClick() const override { return false; }

  private:
    QColor m_hotBorder;
};

} // namespace nk7x
