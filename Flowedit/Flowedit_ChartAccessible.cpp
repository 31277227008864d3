#include "Flowedit_ChartAccessible.h"

#include "Flowedit_Editor.h"

#include "Flowmodel/Flowmodel_ChartStops.h"
#include "Flowmodel/Flowmodel_Describe.h"
#include "Flowmodel/Flowmodel_Main.h"

#include <QAccessibleWidget>
#include <QPointer>
#include <QWindow>

#include <ranges>
#include <utility>

namespace Deskbay {

TChartNode TChartNode::Of(const TChartStop& Stop) {
  if (Stop.IsBlock())
    return {Block, Stop.Block, 0};
  if (Stop.IsPlace())
    return {Place, Stop.Sequence, Stop.Index};
  return {};
}

namespace {

TChartEventSink GEventSink = &QAccessible::updateAccessibility;

// An item of the chart's tree: everything it says comes from the chart's
// accessibility, which knows whether the item is still there.
class TChartItemAccessible : public QAccessibleInterface {
public:
  TChartItemAccessible(TChartAccessibility& Owner, const TChartNode& Node)
      : FOwner(&Owner), FEditor(&Owner.GetEditor()), FNode(Node) {}
  void Orphan() { FOwner = nullptr; }

  bool isValid() const override { return FOwner && FEditor && FOwner->Contains(FNode); }
  QObject* object() const override { return nullptr; }
  QWindow* window() const override { return FEditor ? FEditor->window()->windowHandle() : nullptr; }
  QAccessibleInterface* childAt(int X, int Y) const override {
    if (!isValid())
      return nullptr;
    for (const TChartNode& C : FOwner->Children(FNode))
      if (FOwner->ScreenRect(C).contains(X, Y))
        return FOwner->Interface(C);
    return nullptr;
  }
  QAccessibleInterface* parent() const override {
    if (!FOwner)
      return nullptr;
    const TChartNode P = FOwner->Parent(FNode);
    return P.Type == TChartNode::Chart ? FOwner->ChartInterface() : FOwner->Interface(P);
  }
  QAccessibleInterface* child(int Index) const override {
    if (!isValid())
      return nullptr;
    const std::vector<TChartNode> C = FOwner->Children(FNode);
    return Index >= 0 && Index < int(C.size()) ? FOwner->Interface(C[size_t(Index)]) : nullptr;
  }
  int childCount() const override { return isValid() ? int(FOwner->Children(FNode).size()) : 0; }
  int indexOfChild(const QAccessibleInterface* Child) const override {
    if (!isValid() || !Child)
      return -1;
    const std::vector<TChartNode> C = FOwner->Children(FNode);
    for (size_t I = 0; I < C.size(); ++I)
      if (FOwner->Interface(C[I]) == Child)
        return int(I);
    return -1;
  }
  QString text(QAccessible::Text T) const override {
    if (!FOwner)
      return {};
    switch (T) {
    case QAccessible::Name:
      return FOwner->Name(FNode);
    case QAccessible::Description:
      return isValid() ? FOwner->Description(FNode) : QString();
    default:
      return {};
    }
  }
  void setText(QAccessible::Text, const QString&) override {}
  QRect rect() const override { return isValid() ? FOwner->ScreenRect(FNode) : QRect(); }
  QAccessible::Role role() const override { return QAccessible::TreeItem; }
  QAccessible::State state() const override {
    if (!isValid()) {
      QAccessible::State S;
      S.invalid = true;
      return S;
    }
    return FOwner->State(FNode);
  }

private:
  TChartAccessibility* FOwner;
  QPointer<TAlgEditor> FEditor;
  TChartNode FNode;
};

// The chart itself: a tree whose top items are the algorithm's.
class TChartAccessible : public QAccessibleWidget {
public:
  explicit TChartAccessible(TAlgEditor* Editor)
      : QAccessibleWidget(Editor, QAccessible::Tree), FEditor(Editor) {
    // Qt makes the interface for any event of the widget, listened to or
    // not; only with a bridge active is the chart followed from here on.
    if (QAccessible::isActive())
      Access().Start();
  }

  // The editor going: from now on the chart has no items.
  void Detach() { FEditor = nullptr; }

  int childCount() const override { return int(Items().size()); }
  QAccessibleInterface* child(int Index) const override {
    const std::vector<TChartNode> C = Items();
    return Index >= 0 && Index < int(C.size()) ? Access().Interface(C[size_t(Index)]) : nullptr;
  }
  int indexOfChild(const QAccessibleInterface* Child) const override {
    const std::vector<TChartNode> C = Items();
    for (size_t I = 0; I < C.size(); ++I)
      if (Access().Interface(C[I]) == Child)
        return int(I);
    return -1;
  }
  QAccessibleInterface* childAt(int X, int Y) const override {
    for (const TChartNode& C : Items())
      if (Access().ScreenRect(C).contains(X, Y))
        return Access().Interface(C);
    return nullptr;
  }
  QAccessibleInterface* focusChild() const override {
    if (!FEditor || !FEditor->hasFocus())
      return nullptr;
    const TChartNode N = Access().CursorNode();
    return N.Type == TChartNode::Chart ? nullptr : Access().Interface(N);
  }

private:
  TChartAccessibility& Access() const { return FEditor->GetAccessibility(); }
  std::vector<TChartNode> Items() const {
    return FEditor ? Access().Children(TChartNode{}) : std::vector<TChartNode>{};
  }
  TAlgEditor* FEditor;
};

QAccessibleInterface* ChartFactory(const QString&, QObject* Object) {
  if (auto* Editor = qobject_cast<TAlgEditor*>(Object))
    return new TChartAccessible(Editor);
  return nullptr;
}

} // namespace

TChartEventSink SetChartEventSink(TChartEventSink Sink) {
  return std::exchange(GEventSink, Sink ? Sink : &QAccessible::updateAccessibility);
}

void DetachChartAccessible(TAlgEditor* Editor) {
  if (auto* Chart = dynamic_cast<TChartAccessible*>(QAccessible::queryAccessibleInterface(Editor)))
    Chart->Detach();
}

void InstallChartAccessibleFactory() {
  static const bool Installed = [] {
    QAccessible::installFactory(&ChartFactory);
    return true;
  }();
  (void)Installed;
}

TChartAccessibility::TChartAccessibility(TAlgEditor& Editor) : FEditor(Editor) {}

TChartAccessibility::~TChartAccessibility() {
  Clear();
}

void TChartAccessibility::Clear() {
  for (const auto& [Node, Id] : FItems) {
    static_cast<TChartItemAccessible*>(QAccessible::accessibleInterface(Id))->Orphan();
    QAccessible::deleteAccessibleInterface(Id);
  }
  FItems.clear();
  FNodes.clear();
  FGone.clear();
  FSelected.clear();
  FDescriptions.clear();
  FFocus = {};
  FHadFocus = false;
}

void TChartAccessibility::Build(std::map<TChartNode, TInfo>& Nodes) const {
  TAlgorithm* Alg = FEditor.GetAlgorithm();
  Nodes[TChartNode{}] = {};
  if (!Alg)
    return;
  // Walks sequences: each puts its places and blocks under Parent.
  struct TWalk {
    std::map<TChartNode, TInfo>& Nodes;
    void Sequence(TCompoundAlgBlock* S, const TChartNode& Parent) {
      const int Count = S->GetBlockCount();
      for (int I = 0; I <= Count; ++I) {
        Add({TChartNode::Place, S, I}, Parent, ChartPlaceName);
        if (I < Count)
          Block(S->GetBlocks(I), Parent);
      }
    }
    void Block(TAlgBlock* B, const TChartNode& Parent) {
      const TChartNode Node{TChartNode::Block, B, 0};
      Add(Node, Parent, QString::fromStdString(DescribeBlock(B)));
      switch (B->GetKind()) {
      case TAlgBlockKind::Branch: {
        auto* If = static_cast<TIfAlgBlock*>(B);
        const TChartNode Yes{TChartNode::Arm, If->GetYesBranch(), 0};
        const TChartNode No{TChartNode::Arm, If->GetNoBranch(), 0};
        Add(Yes, Node, QStringLiteral("да"));
        Sequence(If->GetYesBranch(), Yes);
        Add(No, Node, QStringLiteral("нет"));
        Sequence(If->GetNoBranch(), No);
        break;
      }
      case TAlgBlockKind::WhileLoop:
      case TAlgBlockKind::UntilLoop:
      case TAlgBlockKind::ForLoop:
        Sequence(AlgBodyOf(B), Node);
        break;
      case TAlgBlockKind::Root:
      case TAlgBlockKind::Sequence:
      case TAlgBlockKind::Computation:
      case TAlgBlockKind::InputOutput:
        break;
      }
    }
    void Add(const TChartNode& Node, const TChartNode& Parent, const QString& Name) {
      Nodes[Node] = {Parent, {}, Name};
      Nodes[Parent].Children.push_back(Node);
    }
  } Walk{Nodes};
  Walk.Sequence(Alg->GetRoot()->GetBody(), TChartNode{});
}

void TChartAccessibility::Send(const TChartNode& Node, QAccessible::Event Type) {
  if (QAccessibleInterface* I =
          Node.Type == TChartNode::Chart ? ChartInterface() : Interface(Node)) {
    QAccessibleEvent E(I, Type);
    GEventSink(&E);
  }
}

std::set<TChartNode> TChartAccessibility::SelectedNodes() const {
  std::set<TChartNode> Selected;
  if (TAlgorithm* Alg = FEditor.GetAlgorithm())
    for (int I = 0; I < Alg->GetSelectedBlockCount(); ++I) {
      const TChartNode N{TChartNode::Block, Alg->GetSelectedBlocksProperty(I), 0};
      if (FNodes.count(N))
        Selected.insert(N);
    }
  return Selected;
}

std::map<TChartNode, QString> TChartAccessibility::RunDescriptions() const {
  std::map<TChartNode, QString> Descriptions;
  for (const TChartNode& N : FNodes | std::views::keys)
    if (N.Type == TChartNode::Block) {
      const QString D = FEditor.RunDescription(static_cast<const TAlgBlock*>(N.Ptr));
      if (!D.isEmpty())
        Descriptions[N] = D;
    }
  return Descriptions;
}

void TChartAccessibility::Start() {
  if (!FNodes.empty())
    return;
  Build(FNodes);
  FSelected = SelectedNodes();
  FDescriptions = RunDescriptions();
  FFocus = CursorNode();
  FHadFocus = FEditor.hasFocus();
}

void TChartAccessibility::Refresh() {
  // Until somebody asks for the chart's items there is nothing to tell.
  if (FNodes.empty())
    return;
  std::map<TChartNode, TInfo> Nodes;
  Build(Nodes);

  // Items gone: told while they still answer with their last parent and
  // name; nothing of them is followed any more.
  for (const TChartNode& N : FNodes | std::views::keys)
    if (!Nodes.count(N))
      FGone.insert(N);
  for (auto It = FItems.begin(); It != FItems.end();) {
    if (Nodes.count(It->first)) {
      ++It;
      continue;
    }
    QAccessibleInterface* I = QAccessible::accessibleInterface(It->second);
    QAccessibleEvent E(I, QAccessible::ObjectDestroyed);
    GEventSink(&E);
    static_cast<TChartItemAccessible*>(I)->Orphan();
    QAccessible::deleteAccessibleInterface(It->second);
    It = FItems.erase(It);
  }
  std::vector<TChartNode> Renamed, Created;
  for (const auto& [Node, Info] : Nodes) {
    if (Node.Type == TChartNode::Chart)
      continue;
    const auto Old = FNodes.find(Node);
    if (Old == FNodes.end())
      Created.push_back(Node);
    else if (Old->second.Name != Info.Name)
      Renamed.push_back(Node);
  }
  FNodes = std::move(Nodes);
  FGone.clear();
  for (const TChartNode& N : Created)
    Send(N, QAccessible::ObjectCreated);
  if (!Created.empty())
    Send(TChartNode{}, QAccessible::ObjectReorder);
  for (const TChartNode& N : Renamed)
    Send(N, QAccessible::NameChanged);

  // Selection.
  std::set<TChartNode> Selected = SelectedNodes();
  if (Selected != FSelected) {
    QAccessible::State Changed;
    Changed.selected = true;
    // The state for those who read states, the selection events for the
    // bridge (which passes on only some states).
    for (const TChartNode& N : FSelected)
      if (!Selected.count(N) && FNodes.count(N))
        if (QAccessibleInterface* I = Interface(N)) {
          QAccessibleStateChangeEvent E(I, Changed);
          GEventSink(&E);
          Send(N, QAccessible::SelectionRemove);
        }
    for (const TChartNode& N : Selected)
      if (!FSelected.count(N))
        if (QAccessibleInterface* I = Interface(N)) {
          QAccessibleStateChangeEvent E(I, Changed);
          GEventSink(&E);
          Send(N, QAccessible::SelectionAdd);
        }
    FSelected = std::move(Selected);
    Send(TChartNode{}, QAccessible::SelectionWithin);
  }

  // Run descriptions.
  std::map<TChartNode, QString> Descriptions = RunDescriptions();
  for (const auto& [N, D] : Descriptions)
    if (!FDescriptions.count(N) || FDescriptions[N] != D)
      Send(N, QAccessible::DescriptionChanged);
  for (const auto& [N, D] : FDescriptions)
    if (!Descriptions.count(N) && FNodes.count(N))
      Send(N, QAccessible::DescriptionChanged);
  FDescriptions = std::move(Descriptions);

  // Focus: the cursor's item while the chart has the focus.
  const bool HasFocus = FEditor.hasFocus();
  const TChartNode Focus = CursorNode();
  if (HasFocus && Focus.Type != TChartNode::Chart && (Focus != FFocus || !FHadFocus)) {
    if (FHadFocus && FFocus != Focus && FNodes.count(FFocus))
      if (QAccessibleInterface* I = Interface(FFocus)) {
        QAccessible::State Changed;
        Changed.focused = true;
        QAccessibleStateChangeEvent E(I, Changed);
        GEventSink(&E);
      }
    Send(Focus, QAccessible::Focus);
  }
  FFocus = Focus;
  FHadFocus = HasFocus;
}

QAccessibleInterface* TChartAccessibility::ChartInterface() const {
  return QAccessible::queryAccessibleInterface(&FEditor);
}

QAccessibleInterface* TChartAccessibility::Interface(const TChartNode& Node) {
  if (Node.Type == TChartNode::Chart)
    return ChartInterface();
  if (FNodes.empty())
    Start();
  if (!FNodes.count(Node))
    return nullptr;
  if (const auto It = FItems.find(Node); It != FItems.end())
    return QAccessible::accessibleInterface(It->second);
  auto* Item = new TChartItemAccessible(*this, Node);
  FItems[Node] = QAccessible::registerAccessibleInterface(Item);
  return Item;
}

std::vector<TChartNode> TChartAccessibility::Children(const TChartNode& Node) const {
  if (FNodes.empty())
    const_cast<TChartAccessibility*>(this)->Start();
  const auto It = FNodes.find(Node);
  return It == FNodes.end() ? std::vector<TChartNode>{} : It->second.Children;
}

TChartNode TChartAccessibility::Parent(const TChartNode& Node) const {
  const auto It = FNodes.find(Node);
  return It == FNodes.end() ? TChartNode{} : It->second.Parent;
}

QString TChartAccessibility::Name(const TChartNode& Node) const {
  const auto It = FNodes.find(Node);
  return It == FNodes.end() ? QString() : It->second.Name;
}

QString TChartAccessibility::Description(const TChartNode& Node) const {
  if (!FNodes.count(Node) || FGone.count(Node))
    return {};
  switch (Node.Type) {
  case TChartNode::Place:
    return QString::fromStdString(AlgPlaceDescription(TChartStop::Place(
        static_cast<TCompoundAlgBlock*>(const_cast<void*>(Node.Ptr)), Node.Index)));
  case TChartNode::Block:
    return FEditor.RunDescription(static_cast<const TAlgBlock*>(Node.Ptr));
  case TChartNode::Chart:
  case TChartNode::Arm:
    return {};
  }
  return {};
}

QAccessible::State TChartAccessibility::State(const TChartNode& Node) const {
  QAccessible::State S;
  if (!FNodes.count(Node) || FGone.count(Node))
    return S;
  S.focusable = true;
  S.selectable = Node.Type == TChartNode::Block;
  const TChartNode Cursor = CursorNode();
  S.focused = FEditor.hasFocus() && Cursor == Node;
  S.active = Cursor == Node;
  if (Node.Type == TChartNode::Block) {
    const auto* B = static_cast<const TAlgBlock*>(Node.Ptr);
    S.selected = B->GetSelected();
    if (!FNodes.at(Node).Children.empty()) {
      S.expandable = true;
      S.expanded = true;
    }
  }
  if (Node.Type == TChartNode::Arm) {
    S.expandable = true;
    S.expanded = true;
  }
  const QRect R = ScreenRect(Node);
  S.invisible = R.isEmpty();
  return S;
}

QRect TChartAccessibility::ScreenRect(const TChartNode& Node) const {
  if (!FNodes.count(Node) || FGone.count(Node))
    return {};
  QRect R;
  switch (Node.Type) {
  case TChartNode::Chart:
    R = FEditor.rect();
    break;
  case TChartNode::Block:
    R = FEditor.StopClientRect(
        TChartStop::At(static_cast<TAlgBlock*>(const_cast<void*>(Node.Ptr))));
    break;
  case TChartNode::Place:
    R = FEditor.StopClientRect(TChartStop::Place(
        static_cast<TCompoundAlgBlock*>(const_cast<void*>(Node.Ptr)), Node.Index));
    break;
  case TChartNode::Arm:
    R = FEditor.BlockClientRect(static_cast<const TAlgBlock*>(Node.Ptr));
    break;
  }
  return R.isEmpty() ? QRect() : QRect(FEditor.mapToGlobal(R.topLeft()), R.size());
}

TChartNode TChartAccessibility::CursorNode() const {
  const TChartNode N = TChartNode::Of(FEditor.GetCursor());
  return FNodes.count(N) ? N : TChartNode{};
}

} // namespace Deskbay
