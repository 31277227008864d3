// The module in the shell: enabling it, what it registers, which files it
// is offered, and shutting it down.

#include "FlowappTestUtils.h"

#include "Flowapp/Flowapp_Module.h"

#include "Deskbay/Deskbay_Files.h"

#include "Corekit/MiscUtils_Bag.h"
#include "Corekit/Streams.h"
#include "Environment/ModuleReg.h"
#include "Flowedit/Flowedit_Constructor.h"
#include "Flowmodel/Flowmodel_Main.h"

#include <fstream>

using namespace Deskbay;
using namespace Deskbay::Testing;

namespace {

using ModuleTest = TFlowappTest;

std::vector<const TModuleClass*> EditorClasses() {
  std::vector<const TModuleClass*> List;
  GetModuleClasses(CATID_EDITOR, List);
  return List;
}

TEST_F(ModuleTest, TheModuleOpensOneUntitledAlgorithmInEditModeAndTakesItsWindowsAlong) {
  StartShell();
  ASSERT_EQ(Shell->GetEditorCount(), 1);
  TAlgEditorForm* W = AlgWindow();
  EXPECT_EQ(W->GetFileName(), "Безымянный1.alg");
  EXPECT_TRUE((W->windowState() & Qt::WindowMaximized) ||
              W->frameGeometry().top() == W->MaximizedGeometry().top());
  EXPECT_FALSE(W->GetRunning());
  EXPECT_NE(dynamic_cast<TAlgConstructorForm*>(W->GetChildView()), nullptr);
  EXPECT_EQ(W->GetAlgorithm().GetBlockCount(), 1) << "an empty algorithm: its root";
  EXPECT_FALSE(W->GetModified());

  // The document kind as the shell's dialogs know it.
  const TEditorFormClass& Kind = TAlgEditorForm::StaticClass();
  EXPECT_EQ(Kind.GetDescription(), "Алгоритм");
  EXPECT_EQ(Kind.FileExtension(), "alg");
  EXPECT_TRUE(Kind.GetFlags() == (TEditorFlags{efCanCreate, efCanSave, efCanLoad}));
  // And the teacher's task packs, which open into algorithm windows.
  ASSERT_EQ(EditorClasses().size(), 2u);
  EXPECT_EQ(EditorClasses()[0], &Kind);
  const TEditorFormClass& Task = TAlgEditorForm::TaskClass();
  EXPECT_EQ(EditorClasses()[1], &Task);
  EXPECT_EQ(Task.GetDescription(), "Задание");
  EXPECT_EQ(Task.FileExtension(), "task");
  EXPECT_TRUE(Task.GetFlags() == (TEditorFlags{efCanLoad}));
  std::string Filter;
  int Index = 0;
  Shell->MakeFilter(Filter, Index);
  EXPECT_EQ(Filter, "Алгоритм (*.alg)|*.alg|Задание (*.task)|*.task|Все файлы|*.*");
  EXPECT_EQ(Index, 3);

  // A second one is number 2; New takes the one kind without asking.
  Shell->FileNewExecute();
  ASSERT_EQ(Shell->GetEditorCount(), 2);
  EXPECT_EQ(AlgWindow(1)->GetFileName(), "Безымянный2.alg");

  // Shutting the module down closes its windows and unregisters the kind.
  EXPECT_TRUE(Shell->ShutDownAppModule("Flowapp"));
  Flush();
  EXPECT_EQ(Shell->GetEditorCount(), 0);
  EXPECT_TRUE(EditorClasses().empty());
  EXPECT_TRUE(Errors.empty()) << Errors.front();
}

TEST_F(ModuleTest, TheEntryPointNamesTheModuleClass) {
  const TAppModuleClass* Class = GetAppModuleClass();
  ASSERT_NE(Class, nullptr);
  EXPECT_STREQ(Class->ClassName(), "TFlowappAppModule");
  EXPECT_EQ(Class, &TFlowappAppModule::StaticClass());
}

TEST_F(ModuleTest, OnlyAnAlgorithmRecordIsOfferedToTheEditorWhateverTheName) {
  StartShell();
  const TEditorFormClass* Kind = &TAlgEditorForm::StaticClass();
  auto Offered = [&](const std::string& Bytes) {
    TMemoryStream S;
    if (!Bytes.empty())
      S.WriteBuffer(Bytes.data(), static_cast<int64_t>(Bytes.size()));
    S.Seek(0, soBeginning);
    return Shell->GetStreamEditor(S);
  };

  // What saving an algorithm writes, and the same with the name in capitals.
  TMemoryStream Saved;
  {
    TAlgorithm Alg;
    TBag Bag(&Saved);
    Bag.Pack(&Alg);
  }
  std::string Bytes(static_cast<size_t>(Saved.GetSize()), '\0');
  Saved.Seek(0, soBeginning);
  Saved.ReadBuffer(Bytes.data(), static_cast<int64_t>(Bytes.size()));
  EXPECT_EQ(Offered(Bytes), Kind);
  std::string Upper = Bytes;
  Upper.replace(8, 9, "ALGORITHM");
  EXPECT_EQ(Offered(Upper), Kind);

  // A record of another class, a file that is no record, an empty one.
  TMemoryStream Other;
  {
    TAlgorithm Alg;
    TBag Bag(&Other);
    Bag.Pack(Alg.GetRoot());
  }
  std::string OtherBytes(static_cast<size_t>(Other.GetSize()), '\0');
  Other.Seek(0, soBeginning);
  Other.ReadBuffer(OtherBytes.data(), static_cast<int64_t>(OtherBytes.size()));
  EXPECT_EQ(Offered(OtherBytes), nullptr);
  EXPECT_EQ(Offered("Алгоритм: начало\nX=1\n"), nullptr);
  EXPECT_EQ(Offered(""), nullptr);

  // Opening goes by content: an "alg" file that holds text is refused,
  // named, as algtool refuses it; a damaged algorithm names its file before
  // the loader's text; a saved algorithm under any name opens.
  const std::string Text = Home + "/text.alg";
  std::ofstream(Text) << "X=1\n";
  const std::string Damaged = Home + "/damaged.alg";
  {
    std::ifstream In(ExamplesDir + "/drawing.alg", std::ios::binary);
    std::string Bytes((std::istreambuf_iterator<char>(In)), std::istreambuf_iterator<char>());
    std::ofstream(Damaged, std::ios::binary) << Bytes.substr(0, Bytes.size() / 2);
  }
  const int EditorsBefore = Shell->GetEditorCount();
  for (const auto& [File, Start] :
       {std::pair{Text, "Файл \"" + Text + "\" не является файлом алгоритма."},
        std::pair{Damaged, "Не удалось прочитать алгоритм из файла \"" + Damaged + "\":\r\n"}}) {
    try {
      Shell->OpenFile(File);
      ADD_FAILURE() << File << " opened as an algorithm";
    } catch (const Exception& E) {
      EXPECT_EQ(E.Message().substr(0, Start.size()), Start);
    }
  }
  EXPECT_EQ(Shell->GetEditorCount(), EditorsBefore);
  const std::string Renamed = Home + "/picture.dat";
  std::ofstream(Renamed, std::ios::binary)
      << std::ifstream(ExamplesDir + "/drawing.alg", std::ios::binary).rdbuf();
  TEditorForm* Opened = Shell->OpenFile(Renamed);
  ASSERT_NE(dynamic_cast<TAlgEditorForm*>(Opened), nullptr);
  EXPECT_GT(static_cast<TAlgEditorForm*>(Opened)->GetAlgorithm().GetBlockCount(), 1);
}

} // namespace

namespace {

TEST_F(ModuleTest, TheLauncherOpensTheFilesItIsGivenBesideTheUntitledOne) {
  // Names relative to the folder the program was started from.
  EXPECT_EQ(
      CommandLineFiles({"Deskbay", "a.alg", "/abs/b.alg", "../c.alg", "./d/e.alg"}, "/start/here"),
      (std::vector<std::string>{"/start/here/a.alg", "/abs/b.alg", "/start/c.alg",
                                "/start/here/d/e.alg"}));
  EXPECT_TRUE(CommandLineFiles({"Deskbay"}, "/x").empty());

  StartShell();
  const std::string Missing = Home + "/missing.alg";
  OpenCommandLineFiles(*Shell, {ExamplesDir + "/drawing.alg", Missing, ExamplesDir + "/gcd.alg"});
  // The untitled algorithm, then the two that could be opened.
  ASSERT_EQ(Shell->GetEditorCount(), 3);
  EXPECT_EQ(AlgWindow(1)->GetFileName(), ExamplesDir + "/drawing.alg");
  EXPECT_EQ(AlgWindow(2)->GetFileName(), ExamplesDir + "/gcd.alg");
  ASSERT_EQ(Errors.size(), 1u);
  EXPECT_NE(Errors[0].find(Missing), std::string::npos) << Errors[0];
}

} // namespace
