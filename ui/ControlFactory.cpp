#include "ui/ControlFactory.h"

namespace nk7x {

ControlFactory& ControlFactory::Instance() {
    static ControlFactory factory;
    return factory;
}

bool ControlFactory::Register(const QString& layoutClass, Creator create) {
    if (layoutClass.isEmpty() || !create)
        return false;
    QString key = layoutClass.toLower();
    if (!m_creators.contains(key))
        m_order.append(layoutClass);
    m_creators.insert(key, std::move(create));
    return true;
}

bool ControlFactory::Knows(const QString& layoutClass) const {
    return m_creators.contains(layoutClass.toLower());
}

QWidget* ControlFactory::Create(const QString& layoutClass, QWidget* parent) const {
    auto it = m_creators.constFind(layoutClass.toLower());
    if (it == m_creators.constEnd())
        return nullptr;
    return (*it)(parent);
}

void ControlFactory::Clear() {
    m_creators.clear();
    m_order.clear();
}

} // namespace nk7x
