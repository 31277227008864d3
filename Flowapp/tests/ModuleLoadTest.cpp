// The plug-in as the shell meets it: enabled in the settings file, found in
// the module folder, mounted, asked for its class, started. This program
// does not link the plug-in, so it sees only what the shell sees.

#include "Environment/Main.h"
#include "Environment/ModuleReg.h"
#include "Environment/tests/ShellHome.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <stdexcept>
#include <unistd.h>

using namespace Deskbay;

namespace {

class ModuleLoadTest : public testing::Test, protected Testing::TShellHome {
protected:
  ModuleLoadTest() : TShellHome("deskbay-flowapp-load") {}
  ~ModuleLoadTest() override { Shell.reset(); }
  std::unique_ptr<TMainForm> Shell;
};

TEST_F(ModuleLoadTest, EnablingTheModuleOpensOneUntitledAlgorithmMaximizedInEditMode) {
  std::ofstream(Home + "/Deskbay.ini") << "[General]\nModuleDir=" << FLOWAPP_DIR
                                       << "\n\n[Applications]\nFlowapp=1,Исполнитель алгоритмов\n";
  Shell = std::make_unique<TMainForm>(TShellStart{Home, "Deskbay", ""});
  Shell->FirstShow();
  ASSERT_TRUE(Errors.empty()) << Errors.front();

  ASSERT_EQ(Shell->GetAppModuleCount(), 1);
  TAppModule* Module = Shell->GetAppModules(0);
  EXPECT_STREQ(Module->ClassName(), "TFlowappAppModule");
  EXPECT_EQ(Module->GetClass()->GetTitle(), "Исполнитель алгоритмов");
  EXPECT_EQ(Module->GetClass()->GetShortTitle(), "Исполнитель алгоритмов");
  EXPECT_EQ(Shell->windowTitle().toStdString(), "Исполнитель алгоритмов");
  EXPECT_TRUE(Shell->GetModuleManager().IsModuleResident("Flowapp.so"));

  std::vector<const TModuleClass*> Kinds;
  GetModuleClasses(CATID_EDITOR, Kinds);
  ASSERT_EQ(Kinds.size(), 2u);
  EXPECT_STREQ(Kinds[0]->ClassName(), "TAlgEditorForm");
  EXPECT_STREQ(Kinds[1]->ClassName(), "TTaskDocument");

  ASSERT_EQ(Shell->GetEditorCount(), 1);
  TEditorForm* W = Shell->GetEditors(0);
  EXPECT_STREQ(W->metaObject()->className(), "Deskbay::TAlgEditorForm");
  EXPECT_EQ(W->GetFileName(), "Безымянный1.alg");
  // Maximized: below the shell's strip when it has one, else the state.
  EXPECT_TRUE((W->windowState() & Qt::WindowMaximized) ||
              W->frameGeometry().top() == W->MaximizedGeometry().top())
      << W->frameGeometry().top();
  EXPECT_TRUE(W->isVisible());
  // Edit mode: the constructor form is the window's view.
  int Constructors = 0, Debuggers = 0;
  for (QWidget* Child : W->findChildren<QWidget*>()) {
    const std::string Name = Child->metaObject()->className();
    Constructors += Name == "Deskbay::TAlgConstructorForm";
    Debuggers += Name == "Deskbay::TFlowjoggerForm";
  }
  EXPECT_EQ(Constructors, 1);
  EXPECT_EQ(Debuggers, 0);

  // Closing the shell shuts the module down and writes it back enabled.
  ASSERT_TRUE(Shell->close());
  Shell.reset();
  std::ifstream In(Home + "/Deskbay.ini");
  std::string Settings((std::istreambuf_iterator<char>(In)), std::istreambuf_iterator<char>());
  EXPECT_NE(Settings.find("Flowapp=1,Исполнитель алгоритмов"), std::string::npos) << Settings;
}

} // namespace
