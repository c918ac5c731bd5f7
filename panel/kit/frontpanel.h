#pragma once

#include <QPointer>
#include <QWidget>

// The one panel window, set by the main window when it creates it. Guarded so
// that a key forwarded after the window is gone is dropped, not delivered to
// freed memory.
extern QPointer<QWidget> frontPanelWindow;

// Posts a key press (kind 6) or release (kind 7) to the panel window; without
// a window the key is dropped.
void postKeyToFrontPanel(int kind, int key, int fromControl);
