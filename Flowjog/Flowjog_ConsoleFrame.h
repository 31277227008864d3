#pragma once

// The lines the running algorithm has printed, in a read-only text box kept
// scrolled to the last line.

#include "FlowjogExport.h"

#include "Corekit/MiscUtils_Versioning.h"

#include <QWidget>

#include <string>
#include <vector>

class QLabel;
class QPlainTextEdit;

namespace Deskbay {

class TAlgConsole;

class FLOWJOG_API TAlgConsoleFrame : public QWidget, public IOnNotify {
  Q_OBJECT
public:
  explicit TAlgConsoleFrame(QWidget* Parent = nullptr);
  ~TAlgConsoleFrame() override;

  // Stops listening to the old console, listens to the new one (not owned;
  // nullptr for none) and shows its lines.
  void SetConsole(TAlgConsole* Console);
  TAlgConsole* GetConsole() const { return FConsole; }
  void Notify(TObject* Sender) override;
  // The console's lines, the last one in view; nothing without a console.
  void ShowData();

  QLabel* lblConsole;
  QPlainTextEdit* memConsole;

private:
  void ShowLines(const std::vector<std::string>& Lines);

  TAlgConsole* FConsole = nullptr;
  std::vector<std::string> FShown; // what memConsole holds, one line per block
};

} // namespace Deskbay
