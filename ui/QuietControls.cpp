#include "ui/QuietControls.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QSignalBlocker>

namespace nk7x {

void SetCheckedQuietly(QAbstractButton* button, bool on) {
    if (!button)
        return;
    const QSignalBlocker quiet(button);
    button->setChecked(on);
}

void SelectOnlyQuietly(std::span<const QPointer<QAbstractButton>> options, int index) {
    for (std::size_t i = 0; i < options.size(); ++i) {
        QAbstractButton* option = options[i];
        if (!option)
            continue;
        const QSignalBlocker quiet(option);
        // An exclusive option refuses to be cleared while it is the checked one.
        QButtonGroup* group = option->group();
        const QSignalBlocker quietGroup(group);
        const bool groupExclusive = group && group->exclusive();
        const bool autoExclusive = option->autoExclusive();
        if (groupExclusive)
            group->setExclusive(false);
        option->setAutoExclusive(false);
        option->setChecked(static_cast<int>(i) == index);
        option->setAutoExclusive(autoExclusive);
        if (groupExclusive)
            group->setExclusive(true);
    }
}

} // namespace nk7x
