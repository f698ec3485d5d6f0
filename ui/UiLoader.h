// Builds a Designer layout at run time; classes the loader does not know are asked of the owning
// window's control creation first.
#pragma once

#include <QSet>
#include <QUiLoader>

#include <functional>

namespace nk7x {

class UiLoader : public QUiLoader {
  public:
    using Hook = std::function<QWidget*(const QString& className, QWidget* parent)>;

    explicit UiLoader(Hook hook, QObject* parent = nullptr);

    QWidget* createWidget(const QString& className, QWidget* parent = nullptr,
                          const QString& name = QString()) override;

    // Controls that came from the hook: they raise their own notifications.
    const QSet<QWidget*>& CustomControls() const { return m_custom; }

  private:
    Hook m_hook;
    QSet<QWidget*> m_custom;
};

} // namespace nk7x
