#pragma once

#include "Flowmodel/Flowmodel_Main.h"

#include "Corekit/MiscUtils_Bag.h"
#include "Corekit/Streams.h"

#include <string>
#include <vector>

namespace Deskbay::Testing {

// Counts notices of one aspect.
struct TCounter : IOnNotify {
  void Notify(TObject* Sender) override {
    ++Count;
    LastSender = Sender;
  }
  int Count = 0;
  TObject* LastSender = nullptr;
};

// Logs notices of the three aspects of an algorithm in the order heard.
struct TAspectLog {
  explicit TAspectLog(TAlgorithm& Alg)
      : Alg(Alg), Content(this, &TAspectLog::OnContent), Sel(this, &TAspectLog::OnSel),
        View(this, &TAspectLog::OnView) {
    Alg.AddListener(&Content);
    Alg.AddSelListener(&Sel);
    Alg.AddViewListener(&View);
  }
  ~TAspectLog() {
    Alg.RemoveListener(&Content);
    Alg.RemoveSelListener(&Sel);
    Alg.RemoveViewListener(&View);
  }
  void OnContent(TObject*) { Log.push_back("content"); }
  void OnSel(TObject*) { Log.push_back("selection"); }
  void OnView(TObject*) { Log.push_back("view"); }

  TAlgorithm& Alg;
  TNotifyAdapter<TAspectLog> Content, Sel, View;
  std::vector<std::string> Log;
};

// The root's body.
inline TCompoundAlgBlock* Body(TAlgorithm& Alg) {
  return Alg.GetRoot()->GetBody();
}

// The whole flowchart as a file would hold it.
inline std::vector<uint8_t> Bytes(TAlgorithm& Alg) {
  TMemoryStream Stream;
  TBag Bag(&Stream);
  Bag.Pack(&Alg);
  return Stream.GetBytes();
}

// A statement with one line, appended to Parent.
inline TBasicAlgBlock* AddStatement(TAlgBlock* Parent, const std::string& Line) {
  auto* B = TAlgBlock::Create<TBasicAlgBlock>(Parent);
  B->GetText().Add(Line);
  return B;
}

// The first lines of Parent's children, in order.
inline std::vector<std::string> FirstLines(const TAlgBlock* Parent) {
  std::vector<std::string> Lines;
  for (int I = 0; I < Parent->GetBlockCount(); ++I) {
    const TStringList& T = Parent->GetBlocks(I)->GetText();
    Lines.push_back(T.GetCount() ? T.Get(0) : "");
  }
  return Lines;
}

} // namespace Deskbay::Testing
