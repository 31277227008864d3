#include "ModalHelpers.h"

#include "Corekit/ui/CommonDialogs.h"
#include "Corekit/ui/QtHooks.h"
#include "Corekit/ui/WindowHelpers.h"
#include "Corekit/ui/dlgInputString.h"

#include "Corekit/VisualUtils.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace Deskbay;
using Deskbay::Testing::WhenModal;

namespace {

int AnswerYesNoCancel(std::function<void(TYesNoCancelForm*)> Act) {
  WhenModal([Act](QWidget* W) {
    auto* Form = qobject_cast<TYesNoCancelForm*>(W);
    ASSERT_NE(Form, nullptr);
    Act(Form);
  });
  return YesNoCancel("Подтверждение", "Сохранить изменения в \"a.alg\"?");
}

} // namespace

TEST(YesNoCancel, EachAnswerHasItsResultAndEverythingElseCancels) {
  QString Title, Text;
  bool AppModal = false;
  EXPECT_EQ(AnswerYesNoCancel([&](TYesNoCancelForm* F) {
              Title = F->windowTitle();
              Text = F->lblMsg->text();
              AppModal = F->windowModality() == Qt::ApplicationModal;
              EXPECT_EQ(F->btnYes->text(), QString::fromUtf8("&Да"));
              EXPECT_EQ(F->btnNo->text(), QString::fromUtf8("&Нет"));
              EXPECT_EQ(F->btnCancel->text(), QString::fromUtf8("Отмена"));
              EXPECT_EQ(F->size(), QSize(298, 112));
              QTest::mouseClick(F->btnYes, Qt::LeftButton);
            }),
            6);
  EXPECT_EQ(Title, QString::fromUtf8("Подтверждение"));
  EXPECT_EQ(Text, QString::fromUtf8("Сохранить изменения в \"a.alg\"?"));
  EXPECT_TRUE(AppModal);
  EXPECT_EQ(
      AnswerYesNoCancel([](TYesNoCancelForm* F) { QTest::mouseClick(F->btnNo, Qt::LeftButton); }),
      7);
  EXPECT_EQ(AnswerYesNoCancel(
                [](TYesNoCancelForm* F) { QTest::mouseClick(F->btnCancel, Qt::LeftButton); }),
            2);
  EXPECT_EQ(AnswerYesNoCancel([](TYesNoCancelForm* F) { QTest::keyClick(F, Qt::Key_Escape); }), 2);
  EXPECT_EQ(AnswerYesNoCancel([](TYesNoCancelForm* F) { F->close(); }), 2);
  EXPECT_EQ(AnswerYesNoCancel([](TYesNoCancelForm* F) { QTest::keyClick(F, Qt::Key_Return); }), 6)
      << "Enter answers with the default button";
  // Enter presses the button the keyboard has moved to.
  auto TabThenEnter = [](int Tabs) {
    return AnswerYesNoCancel([Tabs](TYesNoCancelForm* F) {
      F->activateWindow();
      for (int I = 0; I < Tabs; ++I)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    });
  };
  EXPECT_EQ(TabThenEnter(1), 7);
  EXPECT_EQ(TabThenEnter(2), 2);
  EXPECT_EQ(TabThenEnter(3), 6);
}

TEST(InputString, OptionsShapeTheAnswerAndGuardOk) {
  // Blanks only, with a non-empty trimmed text required: OK waits for a letter.
  std::string Value = "   ";
  bool OkAtStart = true, OkAfterLetter = false, AllSelected = false;
  WhenModal([&](QWidget* W) {
    auto* F = qobject_cast<TInputStringForm*>(W);
    ASSERT_NE(F, nullptr);
    OkAtStart = F->btnOk->isEnabled();
    AllSelected = F->edtValue->selectedText() == QStringLiteral("   ");
    QTest::keyClick(F->edtValue, Qt::Key_End);
    QTest::keyClicks(F->edtValue, "x");
    OkAfterLetter = F->btnOk->isEnabled();
    QTest::mouseClick(F->btnOk, Qt::LeftButton);
  });
  EXPECT_TRUE(ExecInputString("Ввод данных", "Введите значение A:", Value, {true, true, false}));
  EXPECT_FALSE(OkAtStart);
  EXPECT_TRUE(AllSelected);
  EXPECT_TRUE(OkAfterLetter);
  EXPECT_EQ(Value, "x");

  // Enter with OK disabled does not confirm; Escape cancels and keeps Value.
  Value = "keep";
  WhenModal([](QWidget* W) {
    auto* F = static_cast<TInputStringForm*>(W);
    F->edtValue->clear();
    QTest::keyClick(F->edtValue, Qt::Key_Return);
    EXPECT_TRUE(F->isVisible());
    QTest::keyClick(F->edtValue, Qt::Key_Escape);
  });
  EXPECT_FALSE(ExecInputString("c", "p", Value, {false, true, false}));
  EXPECT_EQ(Value, "keep");

  // Sentences collapse their spaces.
  WhenModal([](QWidget* W) {
    auto* F = static_cast<TInputStringForm*>(W);
    F->edtValue->setText("  два    слова  ");
    QTest::keyClick(F->edtValue, Qt::Key_Return);
  });
  EXPECT_TRUE(ExecInputString("c", "p", Value, {false, false, true}));
  EXPECT_EQ(Value, "два слова");

  // Through the hooks, the logic's InputString asks this dialog.
  TGuiHooks Hooks;
  WhenModal([](QWidget* W) {
    auto* F = static_cast<TInputStringForm*>(W);
    EXPECT_EQ(F->lblMsg->text(), QString::fromUtf8("Введите значение N:"));
    F->edtValue->setText(" 42 ");
    QTest::mouseClick(F->btnOk, Qt::LeftButton);
  });
  EXPECT_TRUE(InputString("Ввод данных", "Введите значение N:", Value, {true, true, false}));
  EXPECT_EQ(Value, "42");
}

TEST(WindowHelpers, FileDialogRemembersTheFolderAlsoOnCancelAndKeepsTheCurrentFolder) {
  QTemporaryDir Start, Elsewhere;
  const QString CurrentBefore = QDir::currentPath();
  SetWorkingDir(Start.path().toStdString());
  QFileDialog Dialog;
  Dialog.setOption(QFileDialog::DontUseNativeDialog);
  QString OpenedIn;
  WhenModal([&](QWidget* W) {
    auto* D = qobject_cast<QFileDialog*>(W);
    ASSERT_NE(D, nullptr);
    OpenedIn = D->directory().absolutePath();
    D->setDirectory(Elsewhere.path());
    D->reject();
  });
  EXPECT_FALSE(ExecFileDialogUsingWorkingDir(Dialog));
  EXPECT_EQ(OpenedIn, QDir(Start.path()).absolutePath());
  EXPECT_EQ(GetWorkingDir(), QDir(Elsewhere.path()).absolutePath().toStdString());
  EXPECT_EQ(QDir::currentPath(), CurrentBefore);
  SetWorkingDir("");
}

TEST(WindowHelpers, FileDialogsStartAtTheDocumentThenTheLastFolderThenTheDocumentsFolder) {
  QTemporaryDir DocFolder, Last;
  const std::string Doc = DocFolder.path().toStdString() + "/a.alg";
  const std::string LastPath = QDir(Last.path()).absolutePath().toStdString();
  // Nothing remembered but the process's own folder (the program's):
  // never a place for a pupil's files.
  SetWorkingDir(QDir::currentPath().toStdString());
  EXPECT_EQ(FileDialogStartDir(""), DocumentsDir());
  EXPECT_NE(DocumentsDir(), QDir::currentPath().toStdString());
  EXPECT_TRUE(QFileInfo(QString::fromStdString(DocumentsDir())).isDir());
  SetWorkingDir(LastPath);
  EXPECT_EQ(FileDialogStartDir(""), LastPath);
  EXPECT_EQ(FileDialogStartDir("Безымянный1.alg"), LastPath); // untitled: no folder
  EXPECT_EQ(FileDialogStartDir("/no/such/folder/a.alg"), LastPath);
  EXPECT_EQ(FileDialogStartDir(Doc), DocFolder.path().toStdString());

  // Accepting remembers the folder of the file chosen.
  QTemporaryDir Chosen;
  QFile(Chosen.path() + "/b.alg").open(QIODevice::WriteOnly);
  QFileDialog Dialog;
  Dialog.setOption(QFileDialog::DontUseNativeDialog);
  Dialog.setFileMode(QFileDialog::ExistingFile);
  QString OpenedIn;
  WhenModal([&](QWidget* W) {
    auto* D = qobject_cast<QFileDialog*>(W);
    ASSERT_NE(D, nullptr);
    OpenedIn = D->directory().absolutePath();
    // Typed, as the user does: a name of the list still selected would win.
    D->setDirectory(Chosen.path());
    D->selectFile("b.alg"); // no file of the list stays selected
    D->findChild<QLineEdit*>("fileNameEdit")->setText("b.alg");
    static_cast<QDialog*>(D)->done(QDialog::Accepted);
  });
  EXPECT_TRUE(ExecFileDialogUsingWorkingDir(Dialog, Doc));
  EXPECT_EQ(OpenedIn, QDir(DocFolder.path()).absolutePath());
  EXPECT_EQ(GetWorkingDir(), QDir(Chosen.path()).absolutePath().toStdString());
  SetWorkingDir("");
}

TEST(WindowHelpers, MakeActionTurnsOneDescriptionIntoTheAction) {
  QWidget Owner;
  TActionList List(&Owner);
  int Runs = 0;
  bool May = false;
  TAction* Two = MakeAction(&Owner, List,
                            {.Id = "two",
                             .Caption = "&Два",
                             .Hint = "Коротко|Длинно | с чертой",
                             .Keys = {QKeySequence("Ctrl+2"), QKeySequence("F2")},
                             .KeyContext = Qt::ApplicationShortcut,
                             .Category = "Algorithm",
                             .Execute = [&] { ++Runs; },
                             .Enabled = [&] { return May; }},
                            &Owner);
  EXPECT_EQ(Two->parent(), &Owner);
  EXPECT_EQ(Two->objectName(), "two");
  EXPECT_EQ(Two->text(), "&Два");
  EXPECT_EQ(Two->toolTip(), "Коротко");
  EXPECT_EQ(Two->statusTip(), "Длинно | с чертой");
  EXPECT_EQ(Two->shortcuts(), (QList<QKeySequence>{QKeySequence("Ctrl+2"), QKeySequence("F2")}));
  EXPECT_EQ(Two->shortcutContext(), Qt::ApplicationShortcut);
  EXPECT_EQ(Two->property("category").toString(), "Algorithm");
  EXPECT_TRUE(Owner.actions().contains(Two));
  EXPECT_EQ(List.GetActionCount(), 1);
  UpdateAllActions(List);
  EXPECT_FALSE(Two->isEnabled());
  May = true;
  UpdateAllActions(List);
  EXPECT_TRUE(Two->isEnabled());
  Two->trigger();
  EXPECT_EQ(Runs, 1);

  // A hint of one part is both tips; no keys, no context set; an Update
  // does the whole update; without a shortcut owner the widget has none.
  TAction* One = MakeAction(&Owner, List,
                            {.Id = "one",
                             .Caption = "Один",
                             .Hint = "Одна подсказка",
                             .KeyContext = Qt::ApplicationShortcut,
                             .Update = [](TAction& A) { A.setText("Обновлён"); }});
  EXPECT_EQ(One->toolTip(), "Одна подсказка");
  EXPECT_EQ(One->statusTip(), "Одна подсказка");
  EXPECT_EQ(One->shortcutContext(), Qt::WindowShortcut);
  EXPECT_FALSE(Owner.actions().contains(One));
  EXPECT_FALSE(One->property("category").isValid());
  UpdateAllActions(List);
  EXPECT_EQ(One->text(), "Обновлён");
  One->trigger(); // nothing to run
}

TEST(WindowHelpers, UpdateAllActionsGoesInIndexOrderAndForgetsFreedActions) {
  std::vector<std::string> Log;
  TActionList List;
  auto* A = new TAction("a");
  auto* B = new TAction("b");
  auto* C = new TAction("c");
  A->OnUpdate = [&](TAction& X) {
    Log.push_back("a");
    X.setEnabled(false);
  };
  C->OnUpdate = [&](TAction&) { Log.push_back("c"); };
  List.Add(C);
  List.Add(A);
  List.Add(B);
  UpdateAllActions(List);
  EXPECT_EQ(Log, (std::vector<std::string>{"c", "a"}));
  EXPECT_FALSE(A->isEnabled());
  delete C;
  EXPECT_EQ(List.GetActionCount(), 2);
  Log.clear();
  UpdateAllActions(List);
  EXPECT_EQ(Log, (std::vector<std::string>{"a"}));
  EXPECT_THROW(List.GetActions(2), Exception);
  delete A;
  delete B;
}

TEST(InputString, ARefusedAnswerKeepsTheDialogOpenWithTheReason) {
  TInputStringOptions Options;
  Options.Trim = true;
  Options.Check = [](const std::string& S) {
    return S == "ok" ? std::string() : "\"" + S + "\" не подходит.";
  };
  std::string Value;
  bool OpenAfterRefusal = false, Selected = false, ButtonsBelowReason = false;
  QString Reason, Description;
  WhenModal([&](QWidget* W) {
    auto* F = static_cast<TInputStringForm*>(W);
    EXPECT_FALSE(F->lblRefusal->isVisible());
    EXPECT_EQ(F->lblMsg->buddy(), F->edtValue);
    F->edtValue->setText("2,5");
    QTest::keyClick(F->edtValue, Qt::Key_Return);
    OpenAfterRefusal = F->isVisible();
    Reason = F->lblRefusal->isVisible() ? F->lblRefusal->text() : QString();
    Description = F->edtValue->accessibleDescription();
    Selected = F->edtValue->selectedText() == QStringLiteral("2,5");
    ButtonsBelowReason = F->btnOk->y() >= F->lblRefusal->geometry().bottom() &&
                         F->btnOk->geometry().bottom() <= F->height();
    F->edtValue->setText(" ok ");
    QTest::mouseClick(F->btnOk, Qt::LeftButton);
  });
  EXPECT_TRUE(ExecInputString("Ввод данных", "Введите значение A:", Value, Options));
  EXPECT_TRUE(OpenAfterRefusal);
  EXPECT_EQ(Reason.toStdString(), "\"2,5\" не подходит.");
  EXPECT_EQ(Description, Reason);
  EXPECT_TRUE(Selected);
  EXPECT_TRUE(ButtonsBelowReason);
  EXPECT_EQ(Value, "ok");

  // Cancel after a refusal still cancels.
  Value = "keep";
  WhenModal([](QWidget* W) {
    auto* F = static_cast<TInputStringForm*>(W);
    F->edtValue->setText("x");
    QTest::keyClick(F->edtValue, Qt::Key_Return);
    QTest::mouseClick(F->btnCancel, Qt::LeftButton);
  });
  EXPECT_FALSE(ExecInputString("c", "p", Value, Options));
  EXPECT_EQ(Value, "keep");
}
