#pragma once

// The algorithm window's tool bar glyphs, drawn here so they look the same
// on every desktop: Run at 0, Stop at 2 and Step at 4, each followed by its
// greyed form for the disabled command.

#include "FlowappExport.h"

#include <QIcon>
#include <QPixmap>

#include <vector>

namespace Deskbay {

class FLOWAPP_API TAlgEditorImages {
public:
  TAlgEditorImages();
  int GetCount() const { return static_cast<int>(FImages.size()); }
  const QPixmap& GetImage(int Index) const;
  // The glyph at Index with the one after it as its disabled form.
  QIcon Icon(int Index) const;

private:
  std::vector<QPixmap> FImages;
};

FLOWAPP_API const TAlgEditorImages& AlgEditorImages();

} // namespace Deskbay
