// A button with a hand image drawn over its own look (placed by the image string's "dest"); it
// tells the window when the pointer enters ("msenter") and leaves ("msleave") it.
#pragma once

#include <QPushButton>
#include <QString>

namespace nk7x {

class CHandImgButtonUI : public QPushButton {
    Q_OBJECT
    Q_PROPERTY(QString handimage READ HandImage WRITE SetHandImage)
    Q_PROPERTY(QString deletenormalimage READ DeleteNormalImage WRITE SetDeleteNormalImage)
    Q_PROPERTY(QString deletehotimage READ DeleteHotImage WRITE SetDeleteHotImage)

  public:
    explicit CHandImgButtonUI(QWidget* parent = nullptr);

    static QString ClassName() { return QStringLiteral("HandImgButton"); }

    void SetHandImage(const QString& image);
    QString HandImage() const { return m_handImage; }
    void SetDeleteNormalImage(const QString& image) { m_deleteNormalImage = image; }
    QString DeleteNormalImage() const { return m_deleteNormalImage; }
    void SetDeleteHotImage(const QString& image) { m_deleteHotImage = image; }
    QString DeleteHotImage() const { return m_deleteHotImage; }

    bool SetAttribute(const QString& name, const QString& value);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    QString m_handImage;
    QString m_deleteNormalImage;
    QString m_deleteHotImage;
    bool m_entered = false;
};

} // namespace nk7x
