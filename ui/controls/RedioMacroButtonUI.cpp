#include "ui/controls/RedioMacroButtonUI.h"

// The class is declared in its header only; its meta-object code is built here.
#include "moc_RedioMacroButtonUI.cpp"
