#include "ui/NotifyRouter.h"

#include "platform/DebugLog.h"

#include <climits>

namespace nk7x {

NumberedName SplitNumberedName(const QString& name) {
    NumberedName out;
    qsizetype cut = name.lastIndexOf(QLatin1Char('_'));
    if (cut < 0)
        return out;
    out.prefix = name.left(cut + 1);
    qint64 value = 0;
    for (qsizetype i = cut + 1; i < name.size(); ++i) {
        QChar c = name.at(i);
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            break;
        value = value * 10 + (c.unicode() - '0');
        if (value > INT_MAX) {
            value = INT_MAX;
            break;
        }
    }
    out.number = static_cast<int>(value);
    return out;
}

void NotifyRouter::Add(const QString& type, Match match, const QString& name, Handler handler) {
    switch (match) {
    case Match::Name:
        m_names.insert(Key(type, name.toLower()), std::move(handler));
        break;
    case Match::NameCase:
        m_caseNames.insert(Key(type, name), std::move(handler));
        break;
    case Match::Prefix:
        m_prefixes.insert(Key(type, name.toLower()), std::move(handler));
        break;
    }
}

bool NotifyRouter::Has(const QString& type, const QString& name) const {
    return m_names.contains(Key(type, name.toLower())) || m_caseNames.contains(Key(type, name)) ||
           m_prefixes.contains(Key(type, name.toLower()));
}

bool NotifyRouter::Dispatch(const UiNotify& msg) const {
    if (msg.type != QLatin1String("timer") && DebugLogEnabled())
        DebugLogf("%s %s", msg.type.toUtf8().constData(), msg.name.toUtf8().constData());
    if (auto it = m_caseNames.constFind(Key(msg.type, msg.name)); it != m_caseNames.constEnd()) {
        (*it)(msg, 0);
        return true;
    }
    if (auto it = m_names.constFind(Key(msg.type, msg.name.toLower())); it != m_names.constEnd()) {
        (*it)(msg, 0);
        return true;
    }
    NumberedName split = SplitNumberedName(msg.name);
    if (!split.hasPrefix())
        return false;
    if (auto it = m_prefixes.constFind(Key(msg.type, split.prefix.toLower())); it != m_prefixes.constEnd()) {
        (*it)(msg, split.number);
        return true;
    }
    return false;
}

} // namespace nk7x
