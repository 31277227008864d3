#pragma once

// The strip's menus from the keyboard of any document window. The strip is
// a dock window that never takes the focus, so the keys meant for its menu
// bar arrive at the document window: F10, and Alt pressed and released
// alone, open "Файл"; Alt with a menu's underlined letter opens that menu,
// the letter typed on a Russian or a Latin layout alike (Alt+Ф and Alt+A
// are one key). The menu bar then runs as usual: arrows move through the
// menus, Enter chooses; when the last menu closes (Escape, a choice, a
// click elsewhere) the document window it came from is active again.
//
// Alt alone is told from the keys in the order the program gets them. With
// a screen reader's bridge on, each key press and release waits for the
// reader's answer and comes again later, while a shortcut (Alt+2) is taken
// at once: its key may be seen before the press of the Alt held with it.
// Such a key still makes that press no Alt alone.

#include "EnvironmentExport.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <vector>

class QKeyEvent;
class QMenuBar;
class QWidget;

namespace Deskbay {

// The menu among Titles ("&Файл", "В&ыполнение", ...) whose underlined
// letter is on the key Key (a Qt key: a Latin letter's, or a Cyrillic
// letter's upper-case code point, as each layout reports it); -1 for none.
// A letter and the Cyrillic one on the same key of the ЙЦУКЕН layout are
// one key.
ENVIRONMENT_API int MnemonicMenuIndex(const std::vector<QString>& Titles, int Key);

class ENVIRONMENT_API TMenuKeys : public QObject {
  Q_OBJECT
public:
  explicit TMenuKeys(QMenuBar& Bar);

  // A key event on the way to a document window (Window), after Follow has
  // seen it: true when it opened a menu and is used up.
  bool HandleKey(QWidget& Window, QKeyEvent& Event);
  // A pointer press between Alt's press and release; Held: the modifiers
  // held with it.
  void Interrupted(Qt::KeyboardModifiers Held);
  // Every key event wherever it goes, the same one at each receiver: a key
  // on its way to a shortcut (ShortcutOverride), or any key pressed or let
  // go, with Alt held is not Alt alone.
  void Follow(const QKeyEvent& Event);
  // Opens the bar's menu at Index (0: "Файл") from Window.
  void OpenMenu(QWidget& Window, int Index);
  // The window a menu was opened from, while one is open.
  QWidget* GetReturnWindow() const { return FReturn; }

private:
  void MenuClosed();

  QMenuBar& FBar;
  QPointer<QWidget> FReturn;
  // Alt's press seen and its release not yet.
  bool FAltDown = false;
  // Nothing else since that press.
  bool FAltAlone = false;
  // A key or click with Alt held came before the press of that Alt.
  bool FUsedBeforePress = false;
  // The last release of Alt ended an Alt alone; the menu is not open yet.
  bool FAltTapped = false;
};

} // namespace Deskbay
