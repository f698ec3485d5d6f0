// Showing values in buttons and lists from the program without raising the notifications that the
// same change made by the user raises.
#pragma once

#include <QPointer>

#include <span>

class QAbstractButton;

namespace nk7x {

void SetCheckedQuietly(QAbstractButton* button, bool on);

// Checks option `index` of `options` and clears every other one, none of them notifying; an index
// outside the list clears them all, even where the options are mutually exclusive.
void SelectOnlyQuietly(std::span<const QPointer<QAbstractButton>> options, int index);

} // namespace nk7x
