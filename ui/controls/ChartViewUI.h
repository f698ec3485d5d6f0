// A small chart of labelled values, drawn as a pie or as bars ("view" = "pie" or "histpgram").
#pragma once

#include <QString>
#include <QVector>
#include <QWidget>

#include <algorithm>

namespace nk7x {

class CChartViewUI : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString view READ View WRITE SetView)
    Q_PROPERTY(QString shadowimage READ ShadowImage WRITE SetShadowImage)
    Q_PROPERTY(int shadowimageheight READ ShadowImageHeight WRITE SetShadowImageHeight)
    Q_PROPERTY(QString pillarimage READ PillarImage WRITE SetPillarImage)
    Q_PROPERTY(int pillarimagewidth READ PillarImageWidth WRITE SetPillarImageWidth)
    Q_PROPERTY(bool showhtml READ ShowHtml WRITE SetShowHtml)
    Q_PROPERTY(bool showtext READ ShowText WRITE SetShowText)
    Q_PROPERTY(int fontindex READ FontIndex WRITE SetFontIndex)

  public:
    enum class ViewKind { Pie, Bars };
    struct Item {
        QString label;
        double value = 0;
    };

    explicit CChartViewUI(QWidget* parent = nullptr);

    static QString ClassName() { return QStringLiteral("ChartView"); }

    // Negative, infinite and NaN values count as 0.
    void AddValue(const QString& label, double value);
    void RemoveAll();
    const QVector<Item>& Items() const { return m_items; }

    ViewKind Kind() const { return m_kind; }
    QString View() const {
        return m_kind == ViewKind::Pie ? QStringLiteral("pie") : QStringLiteral("histpgram");
    }
    void SetView(const QString& view);
    QString ShadowImage() const { return m_shadowImage; }
    void SetShadowImage(const QString& s) {
        m_shadowImage = s;
        update();
    }
    int ShadowImageHeight() const { return m_shadowHeight; }
    void SetShadowImageHeight(int h) {
        m_shadowHeight = std::max(0, h);
        update();
    }
    QString PillarImage() const { return m_pillarImage; }
    void SetPillarImage(const QString& s) {
        m_pillarImage = s;
        update();
    }
    int PillarImageWidth() const { return m_pillarWidth; }
    void SetPillarImageWidth(int w) {
        m_pillarWidth = std::max(0, w);
        update();
    }
    bool ShowHtml() const { return m_showHtml; }
    void SetShowHtml(bool on) {
        m_showHtml = on;
        update();
    }
    bool ShowText() const { return m_showText; }
    void SetShowText(bool on) {
        m_showText = on;
        update();
    }
    int FontIndex() const { return m_fontIndex; }
    void SetFontIndex(int index) { m_fontIndex = index; }

    // Layout attributes by name ("font" is the index of a registered font).
    bool SetAttribute(const QString& name, const QString& value);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void PaintPie(QPainter& p, const QRectF& area, double total);
    void PaintBars(QPainter& p, const QRectF& area, double maximum);

    QVector<Item> m_items;
    ViewKind m_kind = ViewKind::Pie;
    QString m_shadowImage;
    int m_shadowHeight = 0;
    QString m_pillarImage;
    int m_pillarWidth = 0;
    bool m_showHtml = false;
    bool m_showText = true;
    int m_fontIndex = -1;
};

} // namespace nk7x
