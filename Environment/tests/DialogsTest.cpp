// The applications window, the modules dialog, the module details and the
// choice New offers.

#include "ShellTestUtils.h"
#include "TestKinds.h"

#include "Environment/Environment_Apps.h"
#include "Environment/Environment_ModuleDetails.h"
#include "Environment/Environment_Modules.h"
#include "Environment/Environment_New.h"
#include "Environment/QtTranslations.h"

#include "Corekit/ModMgr.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTranslator>
#include <QTreeWidget>
#include <dlfcn.h>

using namespace Deskbay;
using namespace Deskbay::Testing;

namespace {

using DialogsTest = TShellTest;

QTreeWidgetItem* Row(QTreeWidget* View, const QString& Text, int Column = 0) {
  for (int I = 0; I < View->topLevelItemCount(); ++I)
    if (View->topLevelItem(I)->text(Column) == Text)
      return View->topLevelItem(I);
  return nullptr;
}

TEST_F(DialogsTest, ModulesDialogListsTheSystemsOwnModules) {
  WriteSettings("FixtureDocs=1,Проверочные документы\n");
  Start();
  TModuleForm Form;
  EXPECT_EQ(Form.lblProgramTitle->text().toStdString(), "Проверочные документы");
  int Rows = Form.lvModules->topLevelItemCount();
  EXPECT_EQ(Form.GetModuleCount(), Rows);
  EXPECT_EQ(Form.lblModules->text().toStdString(),
            Format("Установленные модули [всего: %d]", Rows));

  QTreeWidgetItem* Docs = Row(Form.lvModules, "FixtureDocs");
  ASSERT_NE(Docs, nullptr);
  EXPECT_EQ(Docs->text(1).toStdString(), "2.5.0.7");
  EXPECT_EQ(Docs->text(2).toStdString(), "Модуль проверочных документов");
  QTreeWidgetItem* Corekit = Row(Form.lvModules, "libCorekit");
  ASSERT_NE(Corekit, nullptr);
  EXPECT_EQ(Corekit->text(2).toStdString(), "Вспомогательные функции");
  ASSERT_NE(Row(Form.lvModules, "libEnvironment"), nullptr);
  // Neither the program itself nor the platform's libraries.
  EXPECT_EQ(Row(Form.lvModules, "EnvironmentTests"), nullptr);
  EXPECT_EQ(Row(Form.lvModules, "libQt6Widgets"), nullptr);
  EXPECT_FALSE(Form.btnDetails->isEnabled());
  Form.lvModules->setCurrentItem(Docs);
  EXPECT_TRUE(Form.btnDetails->isEnabled());
  EXPECT_NE(Form.SelectedModule(), nullptr);

  // A further library registered by a module is listed too, once.
  void* Extra = dlopen((FixtureDir + "/FixtureNoClass.so").c_str(), RTLD_NOW);
  ASSERT_NE(Extra, nullptr);
  RegisterModuleObject(Extra, OCATID_LIBRARY);
  {
    TModuleForm More;
    EXPECT_EQ(More.GetModuleCount(), Rows + 1);
    EXPECT_NE(Row(More.lvModules, "FixtureNoClass"), nullptr);
  }
  UnregisterModuleObject(Extra);
  dlclose(Extra);
}

TEST_F(DialogsTest, ModuleDetailsShowTheVersionValues) {
  WriteSettings("FixtureDocs=0,Проверочные документы\n");
  Start();
  Shell->LoadAppClass("FixtureDocs");
  TModuleHandle Docs = Shell->GetModuleManager().FindModule("FixtureDocs.so")->GetHandle();
  TModuleDetailsForm Form(Docs);
  EXPECT_EQ(Form.gbxDetails->title().toStdString(), "FixtureDocs 2.5.0.7");
  EXPECT_EQ(Form.lblDescription->text().toStdString(), "Модуль проверочных документов");
  EXPECT_EQ(Form.lblAuthors->text().toStdString(), "Разработчики Deskbay");
  EXPECT_EQ(Form.lblEmail->GetTarget().toStdString(), "mailto:docs@example.org");
  EXPECT_EQ(Form.lblURL->GetTarget().toStdString(), "http://example.org/docs");
  EXPECT_EQ(Form.memComments->toPlainText().toStdString(), "Для проверок оболочки");
  ASSERT_GT(Form.lvDepends->topLevelItemCount(), 1);
  EXPECT_NE(Row(Form.lvDepends, "libEnvironment.so"), nullptr);
  for (int I = 1; I < Form.lvDepends->topLevelItemCount(); ++I)
    EXPECT_LE(Form.lvDepends->topLevelItem(I - 1)->text(0),
              Form.lvDepends->topLevelItem(I)->text(0));

  // Without an address the labels stay inert.
  TModuleDetailsForm Plain(Shell->GetModuleManager().MountModule("FixtureSecond.so"));
  EXPECT_TRUE(Plain.lblEmail->GetTarget().isEmpty());
  EXPECT_TRUE(Plain.lblURL->GetTarget().isEmpty());
  EXPECT_EQ(Plain.lblDescription->text().toStdString(), "Второй проверочный модуль");
}

TEST(ModuleDetailsTest, AddressesAndUnknownHandles) {
  EXPECT_EQ(MakeMailUrl("a@b.c"), "mailto:a@b.c");
  EXPECT_EQ(MakeMailUrl("MAILTO:a@b.c"), "MAILTO:a@b.c");
  EXPECT_EQ(MakeWebUrl("example.org"), "http://example.org");
  EXPECT_EQ(MakeWebUrl("ftp://example.org"), "ftp://example.org");
  try {
    TModuleDetailsForm Form(reinterpret_cast<TModuleHandle>(16));
    ADD_FAILURE() << "a dialog for no module";
  } catch (const Exception& E) {
    EXPECT_EQ(E.Message(), "Модуль 16 не найден.");
  }
}

struct TNewProvider : IModuleDescription, IModuleAction {
  int Runs = 0;
  std::string GetName() override { return "provider"; }
  std::string GetCaption() override { return "Новый проект"; }
  void Execute() override { ++Runs; }
};

TEST_F(DialogsTest, NewAsksOnlyWhenThereIsAChoice) {
  Start();
  TTestKind One("TOne", "Первый", {"1"}), Two("TTwo", "Второй", {"2"}),
      Fixed("TFixed", "Нельзя создать", {"3"}, {efCanLoad});
  {
    TRegisteredKinds Registered{&One};
    TModalAnswers Answers({"Отмена"});
    EXPECT_EQ(SelectEditorClass(), &One);
    EXPECT_EQ(Answers.Asked(), 0);
  }
  {
    // Only a kind that cannot be created: an empty list, OK disabled.
    TRegisteredKinds Registered{&Fixed};
    TModalAnswers Answers({"OK"});
    bool Checked = false;
    Answers.Prepare = [&](QWidget* Dialog) {
      auto* Form = qobject_cast<TNewForm*>(Dialog);
      ASSERT_NE(Form, nullptr);
      EXPECT_EQ(Form->lvNew->count(), 0);
      EXPECT_FALSE(Form->btnOk->isEnabled());
      Checked = true;
    };
    EXPECT_EQ(SelectEditorClass(), nullptr);
    EXPECT_TRUE(Checked);
  }
  TRegisteredKinds Registered{&One, &Fixed, &Two};
  {
    TModalAnswers Answers({"OK"});
    Answers.Prepare = [&](QWidget* Dialog) {
      auto* Form = qobject_cast<TNewForm*>(Dialog);
      ASSERT_EQ(Form->lvNew->count(), 2);
      EXPECT_EQ(Form->lvNew->item(0)->text().toStdString(), "Второй"); // sorted
      Form->lvNew->setCurrentRow(0);
    };
    EXPECT_EQ(SelectEditorClass(), &Two);
  }
  {
    TModalAnswers Answers({"Отмена"});
    EXPECT_EQ(SelectEditorClass(), nullptr);
    EXPECT_EQ(Answers.Asked(), 1);
  }
  auto Provider = std::make_shared<TNewProvider>();
  RegisterModuleInterface(Provider, ICATID_NEW_ITEMS);
  {
    TModalAnswers Answers({"OK"});
    Answers.Prepare = [&](QWidget* Dialog) {
      auto* Form = qobject_cast<TNewForm*>(Dialog);
      auto Found = Form->lvNew->findItems("Новый проект", Qt::MatchExactly);
      ASSERT_EQ(Found.size(), 1);
      Form->lvNew->setCurrentItem(Found[0]);
    };
    EXPECT_EQ(SelectEditorClass(), nullptr);
    EXPECT_EQ(Provider->Runs, 1);
  }
  UnregisterModuleInterface(Provider);

  // The command: New with the choice made creates the window.
  TModalAnswers Answers({"OK"});
  Answers.Prepare = [&](QWidget* Dialog) {
    qobject_cast<TNewForm*>(Dialog)->lvNew->setCurrentRow(1);
  };
  Shell->FileNewExecute();
  ASSERT_EQ(Shell->GetEditorCount(), 1);
  EXPECT_EQ(Shell->GetEditors(0)->GetClass(), &One);
}

TEST_F(DialogsTest, UntickingAnApplicationWhoseDocumentRefusesKeepsItRunning) {
  WriteSettings("FixtureDocs=1,Проверочные документы\nFixtureSecond=0,Второй\n");
  Start();
  std::vector<const TModuleClass*> Kinds;
  GetModuleClasses(CATID_EDITOR, Kinds);
  TEditorForm* Doc = Shell->CreateEditor(dynamic_cast<const TEditorFormClass*>(Kinds.at(0)));
  Doc->SetModified(true);

  ShowApplications();
  TAppsForm* Apps = TAppsForm::GetInstance();
  ASSERT_NE(Apps, nullptr);
  EXPECT_EQ(Apps->windowTitle().toStdString(), "Приложения");
  ASSERT_EQ(Apps->lvApps->topLevelItemCount(), 2);
  // Sorted by title.
  EXPECT_EQ(Apps->lvApps->topLevelItem(0)->text(0).toStdString(), "Второй");
  QTreeWidgetItem* Docs = Row(Apps->lvApps, "FixtureDocs", 1);
  ASSERT_NE(Docs, nullptr);
  EXPECT_EQ(Docs->checkState(0), Qt::Checked);
  EXPECT_EQ(Row(Apps->lvApps, "FixtureSecond", 1)->checkState(0), Qt::Unchecked);

  {
    TModalAnswers Answers({"Отмена"});
    Docs->setCheckState(0, Qt::Unchecked);
    EXPECT_EQ(Answers.Asked(), 1);
  }
  EXPECT_NE(Shell->GetAppModule("FixtureDocs"), nullptr);
  EXPECT_EQ(Docs->checkState(0), Qt::Checked);
  EXPECT_EQ(Shell->GetEditorCount(), 1);

  {
    TModalAnswers Answers({"&Нет"});
    Docs->setCheckState(0, Qt::Unchecked);
  }
  EXPECT_EQ(Shell->GetAppModule("FixtureDocs"), nullptr);
  EXPECT_EQ(Docs->checkState(0), Qt::Unchecked);
  EXPECT_EQ(Shell->GetEditorCount(), 0);

  Row(Apps->lvApps, "FixtureSecond", 1)->setCheckState(0, Qt::Checked);
  EXPECT_NE(Shell->GetAppModule("FixtureSecond"), nullptr);

  // One window at most; shutting the modules down closes it.
  ShowApplications();
  EXPECT_EQ(TAppsForm::GetInstance(), Apps);
  EXPECT_TRUE(Shell->ShutDownAllAppModules());
  EXPECT_EQ(TAppsForm::GetInstance(), nullptr);
  EXPECT_TRUE(Errors.empty());
}

TEST(QtTranslations, QtsOwnTextsSpeakRussian) {
  QTranslator* Translator = InstallQtTranslations();
  ASSERT_NE(Translator, nullptr) << "Qt's Russian catalogue is not installed";
  QDialogButtonBox Buttons(QDialogButtonBox::Cancel | QDialogButtonBox::Open);
  EXPECT_EQ(Buttons.button(QDialogButtonBox::Cancel)->text().toStdString(), "Отмена");
  EXPECT_EQ(Buttons.button(QDialogButtonBox::Open)->text().toStdString(), "Открыть");
  QCoreApplication::removeTranslator(Translator);
  delete Translator;
}

} // namespace
