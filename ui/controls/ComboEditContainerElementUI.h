// A macro-list row whose content comes from its own layout: two texts and a delay edit.
#pragma once

#include "ui/controls/ListElementUI.h"

#include <QString>

namespace nk7x {

class CComboEditContainerElementUI : public CListElementUI {
    Q_OBJECT
    // Accepted for layouts written for image-drawn rows; the theme draws the states.
    Q_PROPERTY(QString normalimage READ Ignored WRITE SetIgnored)
    Q_PROPERTY(QString hotimage READ Ignored WRITE SetIgnored)
    Q_PROPERTY(QString selectedimage READ Ignored WRITE SetIgnored)

  public:
    explicit CComboEditContainerElementUI(QWidget* parent = nullptr);

    static QString ClassName() { return QStringLiteral("ComboEditContainerElement"); }
    static QString ContentLayout() {
        return QStringLiteral("XML\\CustomControlXML\\ComboEditElementItem.xml");
    }

    // Builds the row's content through the installed layout builder, replacing the current
    // children, and finds "text1", "text2" and "delay_edit". Runs once; the first show calls it.
    // False when no builder is installed or the layout cannot be built (the children stay).
    bool Init();
    bool IsInitialised() const { return m_initialised; }

    QWidget* Text1() const { return m_text1; }
    QWidget* Text2() const { return m_text2; }
    QWidget* DelayEdit() const { return m_delayEdit; }

    bool SetAttribute(const QString& name, const QString& value);

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    QString Ignored() const { return QString(); }
    void SetIgnored(const QString&) {}

    bool m_initialised = false;
    bool m_tried = false;
    QWidget* m_text1 = nullptr;
    QWidget* m_text2 = nullptr;
    QWidget* m_delayEdit = nullptr;
};

} // namespace nk7x
