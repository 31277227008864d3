#include "Environment_MenuKeys.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <QWidget>

namespace Deskbay {

namespace {

// The Latin key under each Cyrillic letter of the ЙЦУКЕН layout.
constexpr char16_t Cyrillic[] = u"ЙЦУКЕНГШЩЗХЪФЫВАПРОЛДЖЭЯЧСМИТЬБЮ";
constexpr char Latin[] = "QWERTYUIOP[]ASDFGHJKL;'ZXCVBNM,.";
static_assert(sizeof(Cyrillic) / sizeof(char16_t) == sizeof(Latin));

// The key a letter is typed with, as a Latin key code; 0 for no letter.
int KeyOfLetter(QChar Letter) {
  const QChar Upper = Letter.toUpper();
  if (Upper == QChar(u'Ё'))
    return '`';
  for (size_t I = 0; Latin[I]; ++I)
    if (Upper.unicode() == Cyrillic[I] || Upper.unicode() == char16_t(Latin[I]))
      return Latin[I];
  return 0;
}

// The underlined letter of a title: the character after a single '&'.
QChar Mnemonic(const QString& Title) {
  for (qsizetype I = 0; I + 1 < Title.size(); ++I)
    if (Title[I] == u'&') {
      if (Title[I + 1] != u'&')
        return Title[I + 1];
      ++I;
    }
  return {};
}

// The modifiers that make a key another key: Shift, Ctrl, Alt, Meta.
Qt::KeyboardModifiers HeldModifiers(const QKeyEvent& Event) {
  return Event.modifiers() &
         (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
}

} // namespace

int MnemonicMenuIndex(const std::vector<QString>& Titles, int Key) {
  const int Pressed = Key > 0 && Key < 0x10000 ? KeyOfLetter(QChar(char16_t(Key))) : 0;
  if (!Pressed)
    return -1;
  for (size_t I = 0; I < Titles.size(); ++I)
    if (const QChar M = Mnemonic(Titles[I]); !M.isNull() && KeyOfLetter(M) == Pressed)
      return static_cast<int>(I);
  return -1;
}

TMenuKeys::TMenuKeys(QMenuBar& Bar) : QObject(&Bar), FBar(Bar) {}

bool TMenuKeys::HandleKey(QWidget& Window, QKeyEvent& Event) {
  const Qt::KeyboardModifiers Mods = HeldModifiers(Event);
  if (Event.type() == QEvent::KeyRelease) {
    if (Event.key() == Qt::Key_Alt && FAltTapped) {
      FAltTapped = false;
      OpenMenu(Window, 0);
      return true;
    }
    return false;
  }
  if (Event.type() != QEvent::KeyPress || Event.key() == Qt::Key_Alt)
    return false;
  if (Event.key() == Qt::Key_F10 && Mods == Qt::NoModifier) {
    OpenMenu(Window, 0);
    return true;
  }
  if (Mods == Qt::AltModifier) {
    std::vector<QString> Titles;
    std::vector<QAction*> Menus;
    for (QAction* A : FBar.actions())
      if (A->menu() && A->isVisible()) {
        Titles.push_back(A->text());
        Menus.push_back(A);
      }
    const int Index = MnemonicMenuIndex(Titles, Event.key());
    if (Index >= 0) {
      const auto All = FBar.actions();
      OpenMenu(Window, static_cast<int>(All.indexOf(Menus[static_cast<size_t>(Index)])));
      return true;
    }
  }
  return false;
}

void TMenuKeys::Interrupted(Qt::KeyboardModifiers Held) {
  FAltTapped = false;
  if (FAltDown)
    FAltAlone = false;
  else if (Held & Qt::AltModifier)
    FUsedBeforePress = true;
}

void TMenuKeys::Follow(const QKeyEvent& Event) {
  const bool IsAlt = Event.key() == Qt::Key_Alt;
  switch (Event.type()) {
  case QEvent::ShortcutOverride:
    // Comes at once, also when the press itself comes later.
    if (!IsAlt)
      Interrupted(Event.modifiers());
    break;
  case QEvent::KeyPress:
    FAltTapped = false;
    if (!IsAlt) {
      FAltAlone = false;
    } else if (!FAltDown) { // not the same press at its next receiver
      FAltDown = true;
      FAltAlone = (HeldModifiers(Event) & ~Qt::AltModifier) == Qt::NoModifier && !FUsedBeforePress;
      FUsedBeforePress = false;
    }
    break;
  case QEvent::KeyRelease:
    if (!IsAlt) {
      FAltAlone = false;
      break;
    }
    if (Event.isAutoRepeat())
      break;
    if (FAltDown) { // its first receiver; HandleKey asks at the last
      FAltTapped = FAltAlone;
      FAltDown = FAltAlone = false;
    } else { // the same release again, or Alt held since before the keys came here
      FUsedBeforePress = false;
    }
    break;
  default:
    break;
  }
}

void TMenuKeys::OpenMenu(QWidget& Window, int Index) {
  const QList<QAction*> Actions = FBar.actions();
  if (Index < 0 || Index >= Actions.size() || !Actions[Index]->menu())
    return;
  FReturn = &Window;
  QMenu* Menu = Actions[Index]->menu();
  // Every menu of the bar tells when it closes; the bar opens the next one
  // before the last one's close is looked at.
  for (QAction* A : Actions)
    if (QMenu* M = A->menu())
      connect(M, &QMenu::aboutToHide, this, &TMenuKeys::MenuClosed, Qt::UniqueConnection);
  if (FBar.isVisible())
    FBar.setActiveAction(Actions[Index]);
  else // a strip not shown (yet): the menu at the window's corner
    Menu->popup(Window.mapToGlobal(QPoint(0, 0)));
  // The bar shows the menu under its title; the first entry is marked so
  // that the arrows start from it.
  if (Menu->isVisible() && !Menu->actions().isEmpty())
    for (QAction* A : Menu->actions())
      if (!A->isSeparator() && A->isVisible()) {
        Menu->setActiveAction(A);
        break;
      }
}

void TMenuKeys::MenuClosed() {
  // Looked at once the menu is gone: moving to the next menu opens it
  // before this runs.
  QTimer::singleShot(0, this, [this] {
    if (!FReturn || QApplication::activePopupWidget() || QApplication::activeModalWidget())
      return;
    QWidget* Window = FReturn;
    FReturn = nullptr;
    Window->raise();
    Window->activateWindow();
  });
}

} // namespace Deskbay
