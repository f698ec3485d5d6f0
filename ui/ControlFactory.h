// Custom control classes by layout class name ("DeviceKeyButton", ...), compared without case.
#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>

namespace nk7x {

class ControlFactory {
  public:
    using Creator = std::function<QWidget*(QWidget* parent)>;

    // The process-wide factory the windows' control creation consults.
    static ControlFactory& Instance();

    // Registers (or replaces) a class; false for an empty name or creator.
    bool Register(const QString& layoutClass, Creator create);
    bool Knows(const QString& layoutClass) const;

    // A new control of that class, or null when the class is not registered.
    QWidget* Create(const QString& layoutClass, QWidget* parent) const;

    QStringList Classes() const { return m_order; }
    void Clear();

  private:
    QHash<QString, Creator> m_creators; // key: lower-case class name
    QStringList m_order;
};

} // namespace nk7x
