#pragma once

// The flowchart for a screen reader. The chart is an accessible tree whose
// items are the stops of the keyboard cursor nested as the chart is: the
// blocks and places of the algorithm's sequence; a loop holds the blocks and
// places of its body, a branch its two arms "да" and "нет", which hold
// theirs. A block is named as `algtool show` names it, a place "Место для
// блока" with a description of where it is; states say selected and
// focused, and a run's description says which block runs next and which one
// an error stopped at.
//
// TChartAccessibility, owned by the editor, knows the tree as the chart was
// last laid out and tells assistive technology what changed since the last
// look (items gone and new, names, selection, focus, descriptions). The
// items' pointers are compared with that tree and followed only while they
// are in it. Nothing is built before the chart's interface is made while a
// platform bridge is active, or its items are asked for, so without
// assistive technology the chart costs nothing more.

#include "FloweditExport.h"

#include <QAccessible>
#include <QString>

#include <compare>
#include <map>
#include <set>
#include <vector>

namespace Deskbay {

class TAlgBlock;
class TAlgEditor;
struct TChartStop;

// One item of the chart's tree.
struct FLOWEDIT_API TChartNode {
  enum TType : uint8_t { Chart, Block, Place, Arm };
  TType Type = Chart;
  const void* Ptr = nullptr; // the block; the sequence of a place or arm
  int Index = 0;             // a place's index in its sequence
  auto operator<=>(const TChartNode&) const = default;
  static TChartNode Of(const TChartStop& Stop);
};

// The name a place goes by.
inline constexpr const char* ChartPlaceName = "Место для блока";
// What a run says of the block that runs next, and of an error's block.
inline constexpr const char* ChartNextDescription = "выполняется следующим";
inline constexpr const char* ChartErrorDescription = "ошибка";

class FLOWEDIT_API TChartAccessibility {
public:
  explicit TChartAccessibility(TAlgEditor& Editor);
  ~TChartAccessibility();
  TChartAccessibility(const TChartAccessibility&) = delete;
  TChartAccessibility& operator=(const TChartAccessibility&) = delete;

  // Compares the chart with the last look and sends the events of what
  // changed; the editor calls it after each layout, cursor move, focus
  // change and run description.
  void Refresh();
  // The next Refresh tells the focus of the cursor's item even when it
  // stayed (the chart took the focus back).
  void TellFocusAgain() { FHadFocus = false; }
  // Forgets everything (the editor going).
  void Clear();
  // The first look, when assistive technology first asks for the chart:
  // nothing is told, from now on every change is. Does nothing the second
  // time.
  void Start();

  // The interface of an item of the tree as last seen; nullptr when it is
  // not there.
  QAccessibleInterface* Interface(const TChartNode& Node);
  QAccessibleInterface* ChartInterface() const;
  bool Contains(const TChartNode& Node) const { return FNodes.count(Node) > 0; }
  std::vector<TChartNode> Children(const TChartNode& Node) const;
  TChartNode Parent(const TChartNode& Node) const;
  QString Name(const TChartNode& Node) const;
  QString Description(const TChartNode& Node) const;
  QAccessible::State State(const TChartNode& Node) const;
  QRect ScreenRect(const TChartNode& Node) const;
  TAlgEditor& GetEditor() const { return FEditor; }
  // The item under the keyboard cursor.
  TChartNode CursorNode() const;

private:
  struct TInfo {
    TChartNode Parent;
    std::vector<TChartNode> Children;
    QString Name;
  };
  void Build(std::map<TChartNode, TInfo>& Nodes) const;
  std::set<TChartNode> SelectedNodes() const;
  std::map<TChartNode, QString> RunDescriptions() const;
  void Send(const TChartNode& Node, QAccessible::Event Type);

  TAlgEditor& FEditor;
  std::map<TChartNode, TInfo> FNodes;
  std::map<TChartNode, QAccessible::Id> FItems;
  // While Refresh tells of items gone: those whose pointers are stale.
  std::set<TChartNode> FGone;
  std::set<TChartNode> FSelected;
  std::map<TChartNode, QString> FDescriptions;
  TChartNode FFocus;
  bool FHadFocus = false;
};

// Where the chart's events go: QAccessible::updateAccessibility, or a
// test's recorder (Qt hands events to an update handler only while a
// platform bridge is active). Gives back the previous sink; nullptr
// restores Qt's.
using TChartEventSink = void (*)(QAccessibleEvent* Event);
FLOWEDIT_API TChartEventSink SetChartEventSink(TChartEventSink Sink);

// The editor is going: its interface, which Qt frees only after the
// editor's own part is gone, answers no more items.
FLOWEDIT_API void DetachChartAccessible(TAlgEditor* Editor);

// Makes the chart's interface for every TAlgEditor; called by the editor.
FLOWEDIT_API void InstallChartAccessibleFactory();

} // namespace Deskbay
