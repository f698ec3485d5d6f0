// The main window's dispatch of control notifications: by type, then by exact control name or by
// numbered-name prefix ("key_" + 12 reaches the "key_" handler with 12). Later panels add rows.
#pragma once

#include "ui/UiNotify.h"

#include <QHash>
#include <QString>

#include <functional>

namespace nk7x {

struct NumberedName {
    QString prefix; // up to and including the last underscore; empty when there is none
    int number = 0; // the leading decimal digits after it, 0 when none (saturates at INT_MAX)
    bool hasPrefix() const { return !prefix.isEmpty(); }
};

NumberedName SplitNumberedName(const QString& name);

class NotifyRouter {
  public:
    using Handler = std::function<void(const UiNotify& msg, int number)>;

    enum class Match {
        Name,     // exact name, compared without case
        NameCase, // exact name, case as written
        Prefix,   // numbered names with this prefix, compared without case
    };

    // Adds (or replaces) the row for type + name.
    void Add(const QString& type, Match match, const QString& name, Handler handler);

    // Writes the debug line (type, then name; not for "timer") and runs the matching row: exact
    // names first, then the numbered prefix. True when a row ran.
    bool Dispatch(const UiNotify& msg) const;

    bool Has(const QString& type, const QString& name) const;

  private:
    static QString Key(const QString& type, const QString& name) { return type + QLatin1Char('\x1f') + name; }

    QHash<QString, Handler> m_names;     // lower-case names
    QHash<QString, Handler> m_caseNames; // names as written
    QHash<QString, Handler> m_prefixes;  // lower-case prefixes
};

} // namespace nk7x
