// The main window's notification router lives in the application library, which this test program
// does not link (it would bring every page and panel); its one source file is built here instead.
#include "app/NotifyRouter.cpp"
