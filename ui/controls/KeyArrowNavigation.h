// The arrow keys between the keys of a device picture. The picture is one stop of the Tab chain:
// one key takes Tab (the one last clicked or reached, at first the first key), and Left, Right,
// Up and Down move the focus from there to the nearest key that way by the keys' places on screen;
// Home and End go to the ends of the row. Enter presses the key as Space does.
#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>

#include <vector>

namespace nk7x {

class CDeviceKeyButtonUI;

enum class KeyDirection { Left, Right, Up, Down, RowStart, RowEnd };

// The place in `places` the focus goes to from place `from` in `direction`, or -1 (stay). `line`
// is the travel's line: for Left, Right, Home and End a height that the row's places cross (others
// are never reached), for Up and Down a column, where a place beside it counts as twice as far.
// Empty places are never reached. Without `line`, the line through the middle of `from`.
int NearestKeyPlace(const std::vector<QRect>& places, int from, KeyDirection direction, int line);
int NearestKeyPlace(const std::vector<QRect>& places, int from, KeyDirection direction);

class KeyArrowNavigation : public QObject {
  public:
    // The navigation of the picture `owner`, made on first use.
    static KeyArrowNavigation* Of(QObject* owner);

    // The buttons to move between; those that let the pointer through (lights under their caps) are
    // left out.
    void SetKeys(const std::vector<QPointer<CDeviceKeyButtonUI>>& buttons);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    explicit KeyArrowNavigation(QObject* owner);
    // The keys the user can reach now: shown, enabled, with a place on screen.
    std::vector<CDeviceKeyButtonUI*> Reachable() const;
    void MakeTabStop(CDeviceKeyButtonUI* key);
    bool Move(CDeviceKeyButtonUI* from, KeyDirection direction);

    // A line of travel (window coordinates) and the key the arrows last reached along it.
    struct Travel {
        QPointer<CDeviceKeyButtonUI> key;
        int at = 0;
    };

    std::vector<QPointer<CDeviceKeyButtonUI>> m_keys;
    QPointer<CDeviceKeyButtonUI> m_tabStop;
    Travel m_row;
    Travel m_column;
};

} // namespace nk7x
