#pragma once

// The document kind of the FixtureDocs package: a line of text in files
// that start with "FXT1".

#include "Environment/Main.h"

namespace Deskbay::Testing {

class TFixtureTextForm : public TEditorForm {

public:
  TFixtureTextForm(const TEditorFormClass& Class, QWidget* Owner);

  std::string Text;

  bool SelectionPresent() override { return !Text.empty(); }
  void DeleteSelection() override {
    Text.clear();
    SetModified(true);
  }
  bool CanSelectAll() override { return true; }
  void LoadStream(TStream& Stream) override;
  void SaveStream(TStream& Stream) override;
};

} // namespace Deskbay::Testing
