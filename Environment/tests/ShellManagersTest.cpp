// The shell's managers: menus merged by id and group whatever their titles,
// the module table as the one owner of running modules, and what a document
// reaches through the shell interface.

#include "ShellTestUtils.h"
#include "TestKinds.h"

#include "Environment/ShellCommandIds.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>

using namespace Deskbay;
using namespace Deskbay::Testing;

namespace {

using ShellManagersTest = TShellTest;

// Where each action of Menu stands: its text, "-" for a separator.
std::vector<std::string> Items(const QWidget* Menu) {
  std::vector<std::string> Texts;
  for (QAction* A : Menu->actions())
    Texts.push_back(A->isSeparator() ? "-" : A->text().toStdString());
  return Texts;
}

// A window whose menus carry titles no shell menu has.
class TMenuWindow : public TBasicForm {
public:
  TMenuWindow() {
    File = new QMenu("Документ и &файлы", this);
    File->setObjectName(ShellIds::MenuFile);
    SetMergeGroup(File, ShellIds::GroupFileExport);
    Export = File->addAction("Экспорт");
    Edit = new QMenu("Edit", this);
    Edit->setObjectName(ShellIds::MenuEdit);
    SetMergeGroup(Edit, ShellIds::GroupEditUndo);
    Undo = Edit->addAction("Отменить");
    // The title of a shell menu, but an id of its own: a menu of its own.
    Tools = new QMenu("&Правка", this);
    Tools->setObjectName("tools");
    Tools->addAction("Сервис");
    Tool = new QAction("Кнопка", this);
  }
  QList<QMenu*> GetMergedMenus() override { return {File, Edit, Tools}; }
  QList<QAction*> GetMergedToolActions() override { return {Tool}; }

  QMenu *File, *Edit, *Tools;
  QAction *Export, *Undo, *Tool;
};

TEST_F(ShellManagersTest, MenusMergeByIdAndGroupWhateverTheirTitles) {
  Start();
  const std::vector<std::string> FileBefore = Items(Shell->mnuFile);
  const std::vector<std::string> EditBefore = Items(Shell->mnuEdit);
  const std::vector<std::string> BarBefore = Items(Shell->tbrMenu);
  const int ToolsBefore = static_cast<int>(Shell->tbrMain->actions().size());
  auto* W = new TMenuWindow;
  Shell->FormActivated(W);
  EXPECT_EQ(Shell->GetMergedWindow(), W);

  // "Файл": after the save commands, set off from Close by a separator.
  const QList<QAction*> File = Shell->mnuFile->actions();
  const auto Close = File.indexOf(Shell->FileClose);
  ASSERT_GE(Close, 2);
  EXPECT_EQ(File[Close - 2], W->Export);
  EXPECT_TRUE(File[Close - 1]->isSeparator());
  EXPECT_EQ(File.size(), static_cast<qsizetype>(FileBefore.size()) + 2);
  // "Правка": at the top, before Cut.
  const QList<QAction*> Edit = Shell->mnuEdit->actions();
  ASSERT_GE(Edit.size(), 3);
  EXPECT_EQ(Edit[0], W->Undo);
  EXPECT_TRUE(Edit[1]->isSeparator());
  EXPECT_EQ(Edit[2], Shell->EditCut);
  // A menu of its own id stands before "Окно", though titled as a shell
  // menu; the renamed ones add no menu to the bar.
  const QList<QAction*> Bar = Shell->tbrMenu->actions();
  const auto Window = Bar.indexOf(Shell->mnuWindow->menuAction());
  ASSERT_GE(Window, 1);
  EXPECT_EQ(Bar[Window - 1], W->Tools->menuAction());
  EXPECT_EQ(Bar.size(), static_cast<qsizetype>(BarBefore.size()) + 1);
  EXPECT_FALSE(Bar.contains(W->File->menuAction()));
  EXPECT_FALSE(Bar.contains(W->Edit->menuAction()));
  EXPECT_TRUE(Shell->tbrMain->actions().contains(W->Tool));

  // Another window active: everything goes back as it was; the window's
  // actions stay the window's.
  auto* Other = new TBasicForm;
  Shell->FormActivated(Other);
  EXPECT_EQ(Items(Shell->mnuFile), FileBefore);
  EXPECT_EQ(Items(Shell->mnuEdit), EditBefore);
  EXPECT_EQ(Items(Shell->tbrMenu), BarBefore);
  EXPECT_EQ(Shell->tbrMain->actions().size(), ToolsBefore);
  EXPECT_EQ(W->File->actions(), QList<QAction*>{W->Export});

  // Back again, and the window closing takes its menus along.
  Shell->FormActivated(W);
  EXPECT_TRUE(Shell->mnuFile->actions().contains(W->Export));
  delete W;
  EXPECT_EQ(Shell->GetMergedWindow(), nullptr);
  EXPECT_EQ(Items(Shell->mnuFile), FileBefore);
  EXPECT_EQ(Items(Shell->tbrMenu), BarBefore);
  delete Other;
}

TEST(MenuMerger, EachMenuHasNamedGroupsAndAMenuWithoutOneGoesToTheFirst) {
  QMenuBar Bar;
  QToolBar Tools;
  QMenu* Run = Bar.addMenu("Run");
  Run->setObjectName("run");
  QAction* Start = Run->addAction("Start");
  QAction* Stop = Run->addAction("Stop");
  QMenu* Window = Bar.addMenu("Window");
  TMenuMerger Merger(Bar, Tools, Window);
  Merger.AddGroup(Run, "run.start", Stop);
  Merger.AddGroup(Run, "run.debug", nullptr); // at the end
  EXPECT_EQ(Merger.FindMenu("run"), Run);
  EXPECT_EQ(Merger.FindMenu("Run"), nullptr);
  EXPECT_EQ(Merger.FindMenu("window"), nullptr) << "not one of the shell's menus";

  QMenu Debug("Отладка");
  Debug.setObjectName("run");
  SetMergeGroup(&Debug, "run.debug");
  Debug.addAction("Breakpoint");
  QMenu Plain("Выполнение");
  Plain.setObjectName("run");
  Plain.addAction("Slow");
  QMenu Unknown("?");
  Unknown.setObjectName("run");
  SetMergeGroup(&Unknown, "run.nowhere");
  Unknown.addAction("Lost");
  Merger.MergeMenu(&Debug);
  Merger.MergeMenu(&Plain);
  Merger.MergeMenu(&Unknown);
  Merger.MergeMenu(&Plain); // again: once only
  EXPECT_EQ(Items(Run), (std::vector<std::string>{"Start", "Lost", "-", "Slow", "-", "Stop", "-",
                                                  "Breakpoint"}));
  EXPECT_EQ(Bar.actions().size(), 2) << "none of them a menu of its own";

  Merger.UnmergeMenu(&Debug);
  EXPECT_EQ(Items(Run), (std::vector<std::string>{"Start", "Lost", "-", "Slow", "-", "Stop"}));
  Merger.UnmergeMenu(&Plain);
  Merger.UnmergeMenu(&Unknown);
  EXPECT_EQ(Run->actions(), (QList<QAction*>{Start, Stop}));
  EXPECT_EQ(Debug.actions().size(), 1);

  // No menu of that id: before the Window menu, and back out again.
  QMenu View("Run");
  View.setObjectName("view");
  View.addAction("Zoom");
  Merger.MergeMenu(&View);
  EXPECT_EQ(Bar.actions(),
            (QList<QAction*>{Run->menuAction(), View.menuAction(), Window->menuAction()}));
  Merger.UnmergeMenu(&View);
  EXPECT_EQ(Bar.actions(), (QList<QAction*>{Run->menuAction(), Window->menuAction()}));
}

// A module that counts how often it is freed.
int ModulesFreed = 0;

class TCountedModule : public TAppModule {
public:
  TCountedModule(const TAppModuleClass& Class, const std::string& Name) : TAppModule(Class, Name) {
    if (Name == "Broken")
      throw Exception("Не запускается");
  }
  ~TCountedModule() override { ++ModulesFreed; }
};

const TAppModuleClassOf<TCountedModule> CountedModuleClass("TCountedModule");

TEST_F(ShellManagersTest, TheModuleTableIsTheOneOwnerOfRunningModules) {
  ModulesFreed = 0;
  Start();
  // A module made by its class runs in the shell's table.
  TAppModule* First = CountedModuleClass.Create("First");
  CountedModuleClass.Create("Second");
  EXPECT_EQ(Shell->GetAppModuleCount(), 2);
  EXPECT_EQ(Shell->GetAppModule("first"), First);
  EXPECT_EQ(&First->GetShell(), static_cast<IShell*>(Shell.get()));
  EXPECT_THROW(CountedModuleClass.Create("Broken"), Exception);
  EXPECT_EQ(Shell->GetAppModuleCount(), 2);
  EXPECT_EQ(ModulesFreed, 0);

  EXPECT_TRUE(Shell->ShutDownAppModule("First"));
  EXPECT_EQ(ModulesFreed, 1);
  EXPECT_EQ(Shell->GetAppModule("First"), nullptr);
  EXPECT_EQ(Shell->GetAppModuleCount(), 1);
  // The rest goes with the shell, once each.
  Stop();
  EXPECT_EQ(ModulesFreed, 2);
}

TEST_F(ShellManagersTest, ADocumentReachesTheShellThroughTheInterfaceItIsHanded) {
  Start();
  TTestKind Kind("TKind", "Вид", {"txt"});
  TRegisteredKinds Registered{&Kind};
  TEditorForm* Doc = Shell->CreateEditor(&Kind);
  IShell& Host = Doc->GetShell();
  EXPECT_EQ(&Host, static_cast<IShell*>(Shell.get()));
  EXPECT_EQ(Host.GetShellWindow(), Shell.get());
  EXPECT_EQ(Host.GetSettings(), Shell->GetSettings());
  EXPECT_EQ(&Host.GetDocuments(), &Shell->GetDocuments());
  EXPECT_EQ(Host.GetDocuments().Get(0), Doc);
  // Every shell command by its id.
  EXPECT_EQ(Host.FindCommand(ShellIds::EditPaste), Shell->EditPaste);
  EXPECT_EQ(Host.FindCommand(ShellIds::FileExamples), Shell->FileExamples);
  EXPECT_EQ(Host.FindCommand(ShellIds::HelpAbout), Shell->HelpAbout);
  EXPECT_EQ(Host.FindCommand("edit.nothing"), nullptr);
  for (int I = 0; I < Shell->ActionList->GetActionCount(); ++I)
    EXPECT_FALSE(Shell->ActionList->GetActions(I)->objectName().isEmpty());

  int Idles = 0;
  Host.ConnectIdle(Doc, [&] { ++Idles; });
  Host.RequestActionUpdate();
  Host.RequestActionUpdate();
  QCoreApplication::processEvents();
  EXPECT_EQ(Idles, 1);
  TEditorForm* Second = Host.CreateEditor(&Kind);
  EXPECT_EQ(Shell->GetEditorCount(), 2);
  delete Second;
  delete Doc;
  Host.RequestActionUpdate();
  QCoreApplication::processEvents();
  EXPECT_EQ(Idles, 1) << "gone with its document";
}

} // namespace
