// TRefreshCoalescer_Orvel: turns many separate control repaints in one window into one repaint of
// the window when a memory delivers a burst of refreshes (an automation storm, a preset load).
//
// Qt's repaint manager keeps one dirty region per window and, for every separately dirty widget,
// unions and intersects that region again while it paints: with hundreds of controls dirty in one
// event-loop pass the cost grows with the square of their number. Once a window's whole area is
// dirty, every further control rectangle is contained in it and costs next to nothing. So a
// memory reports each refresh it delivers on the GUI thread; when one window collects
// `threshold()` refreshes within one batch, the window is updated once as a whole, and the rest
// of the batch's repaints fold into that single rectangle.
//
// A batch is what the memory delivers between two wake-ups of the GUI thread's event dispatcher
// (QAbstractEventDispatcher::awake(), once per event-loop pass). Below the threshold nothing is
// done: a single edit still repaints only its control (and only the part it updates).
//
// GUI thread only; calls from other threads, with a null widget, a hidden widget or a widget with
// updates disabled are ignored. Any memory may call noteRefresh(); the reference memory does it
// for every posted refresh whose proxy is a widget.
#pragma once

#include "orvelkit_global.h"

class QWidget;

class ORVELKIT_EXPORT TRefreshCoalescer_Orvel
{
public:
    // Refreshes of one window within one batch after which the whole window is updated.
    static constexpr int defaultThreshold = 64;

    // Reports that `control` was just refreshed (and has scheduled its own repaint).
    static void noteRefresh(QWidget* control);

    // The current threshold; 0 switches the coalescing off. Negative values are taken as 0.
    static int threshold();
    static void setThreshold(int refreshes);

    // Whole-window updates issued so far on this process (for tests and diagnostics).
    static quint64 windowUpdates();

    TRefreshCoalescer_Orvel() = delete;
};
