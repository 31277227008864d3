#pragma once

// The algorithm form: the flowchart on a scroll box, and an empty panel on
// the right for whatever a window adds beside it (the constructor's text box
// and palette, the debugger's views).

#include "FloweditExport.h"

#include <QWidget>

class QFrame;

namespace Deskbay {

class TAdvScrollBox;
class TAlgEditor;
class TAlgorithm;

class FLOWEDIT_API TAlgForm : public QWidget {
  Q_OBJECT
public:
  explicit TAlgForm(QWidget* Parent = nullptr);
  ~TAlgForm() override;

  TAdvScrollBox* sbxAlg;
  TAlgEditor* AlgEditor;
  QFrame* pnlControls;

  TAlgorithm* GetAlgorithm() const { return FAlgorithm; }
  // Shows Algorithm (not owned; nullptr: none).
  virtual void SetAlgorithm(TAlgorithm* Algorithm);

protected:
  void sbxAlgResize();

private:
  TAlgorithm* FAlgorithm = nullptr;
};

} // namespace Deskbay
