#include "DesktopPanel.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

namespace Deskbay {

namespace {

xcb_connection_t* X11Connection() {
  auto* App = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  return App ? App->connection() : nullptr;
}

xcb_atom_t Atom(xcb_connection_t* C, const char* Name) {
  xcb_intern_atom_reply_t* Reply = xcb_intern_atom_reply(
      C, xcb_intern_atom(C, 0, static_cast<uint16_t>(std::char_traits<char>::length(Name)), Name),
      nullptr);
  xcb_atom_t Result = Reply ? Reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
  std::free(Reply);
  return Result;
}

} // namespace

std::array<uint32_t, 12> TopStrut(const QRect& Strip, const QRect& Screen) {
  std::array<uint32_t, 12> S{};
  // One row more than the strip covers: a window manager draws a restored
  // window's border on the row above its frame's place, which would
  // otherwise be the strip's last row.
  const int Bottom = std::max(0, Strip.bottom() + 2 - Screen.top());
  S[2] = static_cast<uint32_t>(Bottom);
  const int Left = std::max(Strip.left(), Screen.left()) - Screen.left();
  const int Right = std::min(Strip.right(), Screen.right()) - Screen.left();
  S[8] = static_cast<uint32_t>(std::max(0, Left));  // top_start_x
  S[9] = static_cast<uint32_t>(std::max(0, Right)); // top_end_x
  return S;
}

void MakeDesktopPanel(QWidget* Strip) {
  if (QGuiApplication::platformName() != QLatin1String("xcb"))
    return;
  // The type is written on the native window, so that must exist first;
  // it is not yet mapped, and the window manager reads the type on mapping.
  Strip->winId();
  Strip->setAttribute(Qt::WA_X11NetWmWindowTypeDock);
}

bool ReserveScreenRows(QWidget* Strip) {
  xcb_connection_t* C = X11Connection();
  QWindow* Window = Strip->windowHandle();
  if (!C || !Window || !Strip->testAttribute(Qt::WA_WState_Created))
    return false;
  const qreal Ratio = Window->devicePixelRatio();
  auto Device = [Ratio](const QRect& R) {
    return QRect(QPoint(static_cast<int>(std::lround(R.left() * Ratio)),
                        static_cast<int>(std::lround(R.top() * Ratio))),
                 QSize(static_cast<int>(std::lround(R.width() * Ratio)),
                       static_cast<int>(std::lround(R.height() * Ratio))));
  };
  QScreen* Screen = Strip->screen() ? Strip->screen() : QGuiApplication::primaryScreen();
  if (!Screen)
    return false;
  // Struts are measured from the edges of the whole X screen, all monitors
  // together.
  const QRect Root = Device(Screen->virtualGeometry());
  const std::array<uint32_t, 12> Strut = TopStrut(Device(Strip->frameGeometry()), Root);
  const auto Id = static_cast<xcb_window_t>(Strip->winId());
  xcb_change_property(C, XCB_PROP_MODE_REPLACE, Id, Atom(C, "_NET_WM_STRUT_PARTIAL"),
                      XCB_ATOM_CARDINAL, 32, 12, Strut.data());
  xcb_change_property(C, XCB_PROP_MODE_REPLACE, Id, Atom(C, "_NET_WM_STRUT"), XCB_ATOM_CARDINAL, 32,
                      4, Strut.data());
  xcb_flush(C);
  return true;
}

} // namespace Deskbay
