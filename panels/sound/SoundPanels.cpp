#include "panels/sound/SoundPanels.h"

#include "panels/sound/EqChartView.h"
#include "panels/sound/MagicControlUI.h"
#include "panels/sound/Voice6533ControlUI.h"
#include "ui/ControlFactory.h"

namespace nk7x {

void RegisterSoundPanels(ControlFactory& factory) {
    factory.Register(QString::fromLatin1(kMagicControlClass),
                     [](QWidget* parent) { return new CMagicControlUI(parent); });
    factory.Register(QString::fromLatin1(kVoice6533ControlClass),
                     [](QWidget* parent) { return new CVoice6533ControlUI(parent); });
    factory.Register(QString::fromLatin1(kEqChartViewClass),
                     [](QWidget* parent) { return new EqChartView(parent); });
}

} // namespace nk7x
