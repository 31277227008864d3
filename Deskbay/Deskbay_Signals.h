#pragma once

// Requests to end from outside the program (SIGTERM at a logout or from
// kill, SIGINT from Ctrl+C in the terminal that started it, SIGHUP when that
// terminal goes). The handler only writes a byte into a socket; the event
// loop does the rest, at a moment when nothing is in the middle of its work:
//
// - Dialogs and menus that are open are closed first, as their Cancel does
//   (the input dialog of a running algorithm too, which ends that run), and
//   the main window is closed only once the loop is back at its own level,
//   so no window goes while code of its own, or a box over it, still runs.
// - The main window then closes as the user closes it: runs end, the
//   application table is saved, documents are freed and packages unloaded.
// - A modified document is asked about as usual when someone can answer
//   (a real display). Where nobody can (the offscreen platform), or when a
//   second request comes while the question waits, the answer is "Нет":
//   the program ends without saving. "Отмена" keeps the program running.
// - A third request ends the process at once, as the signal would have.

#include <QObject>

namespace Deskbay {

// Catches the three signals for the rest of the program; Owner (the
// application object) owns what watches them.
void WatchTerminationRequests(QObject* Owner);

} // namespace Deskbay
