#include "ui/UiWindow.h"

#include "ui/AccessibleNames.h"
#include "ui/DataFileProblems.h"

#include "platform/DebugLog.h"
#include "ui/ControlFactory.h"
#include "ui/FontTable.h"
#include "ui/LanguageTexts.h"
#include "ui/ResourceList.h"
#include "ui/Theme.h"
#include "ui/UiLoader.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QIcon>
#include <QImageReader>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

namespace nk7x {
namespace {

const char* const kBaseMin = "_nk7xBaseMin";
const char* const kBaseMax = "_nk7xBaseMax";
const char* const kBaseIcon = "_nk7xBaseIcon";
const char* const kBaseMargins = "_nk7xBaseMargins";
const char* const kBaseSpacing = "_nk7xBaseSpacing";
const char* const kImageFile = "_nk7xImageFile";
// Where a layout file placed a control by hand (no layout of its parent arranges it), in the units
// of scale 96: such controls move and grow with the scale as a layout would make them.
const char* const kBaseGeometry = "_nk7xBaseGeometry";

int ScaleValue(int v, int scale) {
    if (v <= 0 || v >= QWIDGETSIZE_MAX)
        return v;
    return static_cast<int>((static_cast<qint64>(v) * scale + 48) / 96);
}

QSize ScaleSize(QSize s, int scale) {
    return {ScaleValue(s.width(), scale), ScaleValue(s.height(), scale)};
}

QRect ScaleRect(const QRect& r, int scale) {
    return {ScaleValue(r.x(), scale), ScaleValue(r.y(), scale), ScaleValue(r.width(), scale),
            ScaleValue(r.height(), scale)};
}

void ScaleLayout(QLayout* layout, int scale) {
    if (!layout)
        return;
    if (!layout->property(kBaseMargins).isValid()) {
        QMargins m = layout->contentsMargins();
        layout->setProperty(kBaseMargins, QRect(m.left(), m.top(), m.right(), m.bottom()));
        layout->setProperty(kBaseSpacing, layout->spacing());
    }
    QRect m = layout->property(kBaseMargins).toRect();
    layout->setContentsMargins(ScaleValue(m.x(), scale), ScaleValue(m.y(), scale),
                               ScaleValue(m.width(), scale), ScaleValue(m.height(), scale));
    int spacing = layout->property(kBaseSpacing).toInt();
    if (spacing > 0)
        layout->setSpacing(ScaleValue(spacing, scale));
    for (int i = 0; i < layout->count(); ++i)
        ScaleLayout(layout->itemAt(i)->layout(), scale);
}

// The label's image at its layout size (or the image's own size) times the scale.
void RenderImage(QLabel* label, int scale) {
    QString file = label->property(kImageFile).toString();
    if (file.isEmpty())
        return;
    QIcon icon(file);
    QSize size =
        label->property(kBaseMin).isValid() ? label->property(kBaseMin).toSize() : label->minimumSize();
    if (size.isEmpty())
        size = QImageReader(file).size(); // the image's own size
    if (size.isEmpty())
        return;
    size = ScaleSize(size, scale);
    label->setPixmap(icon.pixmap(size));
    label->setMinimumSize(size);
}

} // namespace

UiWindow::UiWindow(QWidget* parent) : QWidget(parent) {}

UiWindow::~UiWindow() {
    // The children outlive this part of the window (QWidget deletes them later); their destroyed
    // signals must no longer reach the timer and wiring tables, which go away with this part.
    for (QObject* child : findChildren<QObject*>())
        disconnect(child, &QObject::destroyed, this, nullptr);
    // The window's own timers (SetTimer on the window itself) are watched the same way.
    disconnect(this, &QObject::destroyed, this, nullptr);
    for (auto& entry : m_timers)
        entry.second->stop();
    m_timers.clear();
}

bool UiWindow::LoadLayout(const ResourceList& resources, const QString& layoutName) {
    QString path = resources.Resolve(layoutName);
    if (path.isEmpty()) {
        ReportDataFileProblem(resources.SkinFolder() + QStringLiteral("/res.xml"),
                              QStringLiteral("names no layout ") + layoutName);
        return false;
    }
    QWidget* content = BuildLayout(path, this);
    if (!content)
        return false;
    delete layout();
    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);
    box->addWidget(content);
    m_root = content;
    return true;
}

QWidget* UiWindow::BuildLayout(const QString& path, QWidget* parent) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ReportDataFileProblem(path, file.exists() ? file.errorString() : QStringLiteral("missing"));
        return nullptr;
    }
    UiLoader loader([this](const QString& cls, QWidget* p) -> QWidget* {
        QWidget* w = CreateControl(cls);
        if (w && p)
            w->setParent(p);
        return w;
    });
    // Images in the layout are named relative to the layout's own folder.
    loader.setWorkingDirectory(QFileInfo(path).absoluteDir());
    QWidget* content = loader.load(&file, parent);
    if (!content) {
        ReportDataFileProblem(path, QStringLiteral("not a layout: ") + loader.errorString());
        return nullptr;
    }
    WireTree(content, loader.CustomControls());
    for (QWidget* w : content->findChildren<QWidget*>()) {
        QWidget* holder = w->parentWidget();
        if (holder && !holder->layout() && !w->isWindow())
            w->setProperty(kBaseGeometry, w->geometry());
    }
    // Images named by an "image" property are drawn at the size the scale gives the label.
    QDir base = QFileInfo(path).absoluteDir();
    QList<QLabel*> labels = content->findChildren<QLabel*>();
    if (auto* self = qobject_cast<QLabel*>(content))
        labels.append(self);
    for (QLabel* l : labels) {
        QString image = l->property("image").toString();
        if (image.isEmpty())
            continue;
        l->setProperty(kImageFile, base.absoluteFilePath(image));
        // The layout's sizes are the base the scale works from, also when the window is scaled
        // already: drawing the image sets the label's minimum to the scaled size.
        if (!l->property(kBaseMin).isValid()) {
            l->setProperty(kBaseMin, l->minimumSize());
            l->setProperty(kBaseMax, l->maximumSize());
        }
        RenderImage(l, m_scale);
    }
    return content;
}

void UiWindow::PlaceScaled(QWidget* w, const QRect& at96) {
    if (!w)
        return;
    w->setProperty(kBaseGeometry, at96);
    const UiWindow* window = nullptr;
    for (QWidget* p = w->parentWidget(); p && !window; p = p->parentWidget())
        window = qobject_cast<const UiWindow*>(p);
    const int scale = window ? window->Scale() : 96;
    w->setGeometry(ScaleRect(at96, scale));
}

QWidget* UiWindow::CreateControl(const QString& className) {
    return ControlFactory::Instance().Create(className, nullptr);
}

QWidget* UiWindow::FindControl(const QString& name) const {
    if (name.isEmpty())
        return nullptr;
    return findChild<QWidget*>(name);
}

QWidget* UiWindow::FindSubControlByName(QWidget* parent, const QString& name) {
    if (!parent || name.isEmpty())
        return nullptr;
    return parent->findChild<QWidget*>(name);
}

void UiWindow::Notify(const UiNotify&) {}

bool UiWindow::RaiseByName(const QString& name, const QString& type, qint64 wParam, qint64 lParam) {
    QWidget* w = FindControl(name);
    if (!w && name == objectName())
        w = this;
    if (!w)
        return false;
    return RaiseNotify(w, type, wParam, lParam);
}

void UiWindow::WireTree(QWidget* top, const QSet<QWidget*>& custom) {
    QList<QWidget*> all = top->findChildren<QWidget*>();
    all.prepend(top);
    for (QWidget* w : all) {
        if (!custom.contains(w))
            WireControl(w);
    }
}

void UiWindow::WireControl(QWidget* w) {
    if (!w || m_wired.contains(w) || w->objectName().isEmpty())
        return;
    m_wired.insert(w);
    connect(w, &QObject::destroyed, this, [this, w] {
        m_wired.remove(w);
        KillAllTimers(w);
    });
    if (auto* b = qobject_cast<QAbstractButton*>(w)) {
        connect(b, &QAbstractButton::clicked, this, [b] { RaiseNotify(b, QStringLiteral("click")); });
        if (b->isCheckable() || qobject_cast<QRadioButton*>(b) || qobject_cast<QCheckBox*>(b))
            connect(b, &QAbstractButton::toggled, this,
                    [b](bool on) { RaiseNotify(b, QStringLiteral("selectchanged"), on ? 1 : 0); });
    } else if (auto* c = qobject_cast<QComboBox*>(w)) {
        // Only the user's choice: filling a list never raises a notification.
        connect(c, &QComboBox::activated, this,
                [c](int index) { RaiseNotify(c, QStringLiteral("itemselect"), index); });
    } else if (auto* s = qobject_cast<QAbstractSlider*>(w)) {
        connect(s, &QAbstractSlider::valueChanged, this, [s](int v) {
            RaiseNotify(
                s, s->isSliderDown() ? QStringLiteral("movevaluechanged") : QStringLiteral("valuechanged"),
                v);
        });
        connect(s, &QAbstractSlider::sliderReleased, this,
                [s] { RaiseNotify(s, QStringLiteral("valuechanged"), s->value()); });
    } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
        connect(e, &QLineEdit::textEdited, this, [e] { RaiseNotify(e, QStringLiteral("textchanged")); });
        connect(e, &QLineEdit::returnPressed, this, [e] { RaiseNotify(e, QStringLiteral("return")); });
        // Once per edit, on Return or on leaving a changed edit, and only with acceptable input.
        connect(e, &QLineEdit::editingFinished, this,
                [e] { RaiseNotify(e, QStringLiteral("editfinished")); });
        e->installEventFilter(this);
    } else if (auto* l = qobject_cast<QListWidget*>(w)) {
        connect(l, &QListWidget::itemClicked, this,
                [l](QListWidgetItem* item) { RaiseNotify(l, QStringLiteral("itemclick"), l->row(item)); });
        connect(l, &QListWidget::itemActivated, this,
                [l](QListWidgetItem* item) { RaiseNotify(l, QStringLiteral("itemactivate"), l->row(item)); });
    }
}

bool UiWindow::eventFilter(QObject* watched, QEvent* event) {
    if (auto* w = qobject_cast<QWidget*>(watched)) {
        if (event->type() == QEvent::FocusOut)
            RaiseNotify(w, QStringLiteral("killfocus"));
        else if (event->type() == QEvent::FocusIn)
            RaiseNotify(w, QStringLiteral("setfocus"));
    }
    return QWidget::eventFilter(watched, event);
}

void UiWindow::SetTimer(QWidget* control, int id, int ms) {
    if (!control)
        return;
    auto key = std::make_pair(control, id);
    QTimer*& timer = m_timers[key];
    if (!timer) {
        timer = new QTimer(this);
        QPointer<QWidget> target(control);
        connect(timer, &QTimer::timeout, this, [target, id] {
            if (target)
                RaiseNotify(target, QStringLiteral("timer"), id);
        });
        if (!m_wired.contains(control))
            connect(control, &QObject::destroyed, this, [this, control] { KillAllTimers(control); });
    }
    timer->start(ms < 0 ? 0 : ms);
}

void UiWindow::KillTimer(QWidget* control, int id) {
    auto it = m_timers.find(std::make_pair(control, id));
    if (it == m_timers.end())
        return;
    it->second->stop();
    it->second->deleteLater();
    m_timers.erase(it);
}

void UiWindow::KillAllTimers(QWidget* control) {
    for (auto it = m_timers.begin(); it != m_timers.end();) {
        if (it->first.first == control) {
            it->second->stop();
            it->second->deleteLater();
            it = m_timers.erase(it);
        } else {
            ++it;
        }
    }
}

bool UiWindow::HasTimer(QWidget* control, int id) const {
    auto it = m_timers.find(std::make_pair(control, id));
    return it != m_timers.end() && it->second->isActive();
}

namespace {

// Gives the controls under `top` (and `top` itself) their texts and tooltips in the language.
void ReloadTextIn(QWidget* top, const LanguageTexts& texts) {
    QList<QObject*> objects{top};
    for (QWidget* w : top->findChildren<QWidget*>())
        objects.append(w);
    for (QAction* a : top->findChildren<QAction*>())
        objects.append(a);
    for (QObject* o : objects) {
        QString key = o->property("textKey").toString();
        if (!key.isEmpty()) {
            QString text = texts.Text(key);
            if (auto* b = qobject_cast<QAbstractButton*>(o))
                b->setText(text);
            else if (auto* l = qobject_cast<QLabel*>(o))
                l->setText(text);
            else if (auto* g = qobject_cast<QGroupBox*>(o))
                g->setTitle(text);
            else if (auto* e = qobject_cast<QLineEdit*>(o))
                e->setPlaceholderText(text);
            else if (auto* a = qobject_cast<QAction*>(o))
                a->setText(text);
        }
        QString tip = o->property("tooltipKey").toString();
        if (!tip.isEmpty()) {
            if (auto* w = qobject_cast<QWidget*>(o))
                w->setToolTip(texts.Text(tip));
            else if (auto* a = qobject_cast<QAction*>(o))
                a->setToolTip(texts.Text(tip));
        }
    }
}

} // namespace

void UiWindow::ReloadText(const LanguageTexts& texts) {
    ReloadTextIn(this, texts);
    // After the texts: a control that shows one is read by it, the others are named here.
    NameForAccessibility(this, texts);
}

void UiWindow::ApplyFonts(const FontTable& fonts) {
    m_fonts = &fonts;
    setFont(fonts.Font(FontTable::kDefault, m_scale));
    ApplyFontsIn(this);
}

void UiWindow::ApplyFontsIn(QWidget* top) {
    if (!m_fonts)
        return;
    QList<QWidget*> all = top->findChildren<QWidget*>();
    all.prepend(top);
    for (QWidget* w : all) {
        QVariant index = w->property("fontIndex");
        if (index.isValid())
            w->setFont(m_fonts->Font(index.toInt(), m_scale));
    }
}

void UiWindow::Adopt(QWidget* part, const LanguageTexts* texts) {
    if (!part)
        return;
    ScaleWidget(part);
    for (QWidget* w : part->findChildren<QWidget*>())
        ScaleWidget(w);
    ApplyFontsIn(part);
    if (texts)
        ReloadTextIn(part, *texts);
}

void UiWindow::SetBaseStyleSheet(const QString& qss) {
    m_baseQss = qss;
    setStyleSheet(ScaleStyleSheet(m_baseQss, m_scale));
}

void UiWindow::SetScale(int scale) {
    if (scale <= 0)
        return;
    m_scale = scale;
    ScaleTree(this);
    if (!m_baseQss.isEmpty())
        setStyleSheet(ScaleStyleSheet(m_baseQss, m_scale));
    if (m_fonts)
        ApplyFonts(*m_fonts);
}

void UiWindow::ScaleTree(QWidget* top) {
    for (QWidget* w : top->findChildren<QWidget*>())
        ScaleWidget(w);
    ScaleLayout(top->layout(), m_scale);
}

void UiWindow::ScaleWidget(QWidget* w) {
    if (!w->property(kBaseMin).isValid()) {
        w->setProperty(kBaseMin, w->minimumSize());
        w->setProperty(kBaseMax, w->maximumSize());
        if (auto* b = qobject_cast<QAbstractButton*>(w))
            w->setProperty(kBaseIcon, b->iconSize());
    }
    w->setMinimumSize(ScaleSize(w->property(kBaseMin).toSize(), m_scale));
    w->setMaximumSize(ScaleSize(w->property(kBaseMax).toSize(), m_scale));
    if (auto* b = qobject_cast<QAbstractButton*>(w))
        b->setIconSize(ScaleSize(w->property(kBaseIcon).toSize(), m_scale));
    if (auto* l = qobject_cast<QLabel*>(w))
        RenderImage(l, m_scale);
    if (const QVariant base = w->property(kBaseGeometry); base.isValid())
        w->setGeometry(ScaleRect(base.toRect(), m_scale));
    ScaleLayout(w->layout(), m_scale);
}

} // namespace nk7x
