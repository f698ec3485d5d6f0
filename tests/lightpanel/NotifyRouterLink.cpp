// The main window's notification router, built into this test program on its own so that the
// routes are exercised through the same dispatch the window uses, without the rest of the shell.
#include "app/NotifyRouter.cpp"
