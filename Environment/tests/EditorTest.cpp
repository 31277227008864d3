// Document windows: untitled names, saving, the close query, opening by
// content, the Open filter.

#include "ShellTestUtils.h"
#include "TestKinds.h"

#include "Corekit/Streams.h"
#include "Corekit/VisualUtils.h"
#include "Corekit/ui/WindowHelpers.h"

#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

using namespace Deskbay;
using namespace Deskbay::Testing;

namespace {

using EditorTest = TShellTest;

std::string Caption(QWidget* W) {
  return W->windowTitle().toStdString();
}

TEST_F(EditorTest, UntitledNumbersAreReused) {
  Start();
  TTestKind Kind("TKind", "Вид", {"alg", "txt"}), Bare("TBare", "Без расширений", {});
  TRegisteredKinds Registered{&Kind, &Bare};
  TEditorForm* A = Shell->CreateEditor(&Kind);
  TEditorForm* B = Shell->CreateEditor(&Kind);
  TEditorForm* C = Shell->CreateEditor(&Bare);
  EXPECT_EQ(A->GetFileName(), "Безымянный1.alg");
  EXPECT_EQ(Caption(A), "Безымянный1.alg");
  EXPECT_EQ(B->GetFileName(), "Безымянный2.alg");
  EXPECT_EQ(C->GetFileName(), "Безымянный3.");
  EXPECT_FALSE(A->GetHasFileName());
  delete A;
  TEditorForm* D = Shell->CreateEditor(&Kind);
  EXPECT_EQ(D->GetFileName(), "Безымянный1.alg");
  EXPECT_EQ(D->GetNonameNumber(), 1);
  EXPECT_THROW(Shell->ReleaseNonameNumber(4), EAssertionFailed);
  EXPECT_EQ(Shell->GetEditorCount(), 3);
}

TEST_F(EditorTest, SaveAsKeepsTheNumberOnlyForItsOwnUntitledName) {
  Start();
  TTestKind Kind("TKind", "Вид", {"alg"});
  TRegisteredKinds Registered{&Kind};
  TEditorForm* A = Shell->CreateEditor(&Kind);
  TEditorForm* B = Shell->CreateEditor(&Kind);
  // Never saved and unchanged: still savable.
  EXPECT_FALSE(A->GetModified());
  EXPECT_TRUE(A->CanSave());

  mkdir((Home + "/sub").c_str(), 0700);
  EXPECT_TRUE(A->SaveAsFile(Home + "/sub/БЕЗЫМЯННЫЙ1.ALG"));
  EXPECT_EQ(A->GetNonameNumber(), 1);
  EXPECT_TRUE(A->GetHasFileName());
  EXPECT_FALSE(A->CanSave());
  EXPECT_EQ(ReadText(Home + "/sub/БЕЗЫМЯННЫЙ1.ALG"), "text");
  EXPECT_EQ(Caption(A), Home + "/sub/БЕЗЫМЯННЫЙ1.ALG");

  EXPECT_TRUE(B->SaveAsFile(Home + "/Безымянный1.alg")); // another's number
  EXPECT_EQ(B->GetNonameNumber(), 0);
  EXPECT_EQ(Shell->CreateEditor(&Kind)->GetFileName(), "Безымянный2.alg");

  A->SetModified(true);
  EXPECT_TRUE(A->CanSave());
  EXPECT_TRUE(A->Save());
  EXPECT_FALSE(A->GetModified());
}

TEST_F(EditorTest, AFailedSaveLeavesTheOldFileAndTheDocumentModified) {
  Start();
  TTestKind Kind("TKind", "Вид", {"txt"});
  TRegisteredKinds Registered{&Kind};
  auto* Doc = static_cast<TTestForm*>(Shell->CreateEditor(&Kind));
  std::string File = Home + "/doc.txt";
  ASSERT_TRUE(Doc->SaveAsFile(File));

  Doc->Text = "a much longer new text";
  Doc->SetModified(true);
  Doc->FailWriting = true;
  EXPECT_THROW(Doc->Save(), Exception);
  EXPECT_EQ(ReadText(File), "text");
  EXPECT_TRUE(Doc->GetModified());

  if (geteuid() != 0) {
    // A folder the user cannot write: "Сохранить как" is offered; declined,
    // nothing is saved and nothing is lost.
    Doc->FailWriting = false;
    chmod(Home.c_str(), 0500);
    TModalAnswers Answers({"Отмена"});
    EXPECT_FALSE(Doc->Save());
    EXPECT_EQ(Answers.Asked(), 1);
    chmod(Home.c_str(), 0700);
    EXPECT_EQ(ReadText(File), "text");
    EXPECT_TRUE(Doc->GetModified());
  }
  // The failed save's temporary twin is gone.
  struct stat St;
  int Files = 0;
  for (const char* Name : {"doc.txt"})
    Files += stat((Home + "/" + Name).c_str(), &St) == 0;
  EXPECT_EQ(Files, 1);
}

TEST_F(EditorTest, APlaceThatCannotBeWrittenOffersSaveAs) {
  Start();
  TTestKind Kind("TKind", "Вид", {"txt"});
  TRegisteredKinds Registered{&Kind};
  auto* Doc = static_cast<TTestForm*>(Shell->CreateEditor(&Kind));
  const std::string File = Home + "/doc.txt", Elsewhere = Home + "/mine.txt";
  ASSERT_TRUE(Doc->SaveAsFile(File));
  Doc->Text = "changed";
  Doc->SetModified(true);
  EXPECT_EQ(Caption(Doc), "*" + File);

  // Declined: the document stays modified, the file as it was.
  for (int Code : {EACCES, EPERM, EROFS}) {
    Doc->DenyWriting = Code;
    std::string Asked;
    TModalAnswers Answers({"Отмена"});
    Answers.Prepare = [&](QWidget* Box) {
      for (QLabel* L : Box->findChildren<QLabel*>())
        Asked += L->text().toStdString();
    };
    EXPECT_FALSE(Doc->Save());
    EXPECT_EQ(Answers.Asked(), 1);
    EXPECT_NE(Asked.find(File), std::string::npos) << Asked;
    EXPECT_TRUE(Doc->GetModified());
    EXPECT_EQ(ReadText(File), "text");
  }
  // Other failures are errors as before.
  Doc->DenyWriting = ENOSPC;
  EXPECT_THROW(Doc->Save(), EFOpenError);

  // Accepted: the save dialog, and the document lives on under its new name.
  Doc->DenyWriting = EACCES;
  {
    TModalAnswers Answers({"Сохранить как...", "-"});
    Answers.Prepare = [&](QWidget* Dialog) {
      if (auto* D = qobject_cast<QFileDialog*>(Dialog)) {
        Doc->DenyWriting = 0; // the new place can be written
        // Typed, as the user does: a name of the list still selected would win.
        D->setDirectory(QString::fromStdString(Home));
        D->selectFile("mine.txt"); // no file of the list stays selected
        D->findChild<QLineEdit*>("fileNameEdit")->setText("mine.txt");
        static_cast<QDialog*>(D)->done(QDialog::Accepted);
      }
    };
    EXPECT_TRUE(Doc->Save());
    EXPECT_EQ(Answers.Asked(), 2);
  }
  EXPECT_EQ(Doc->GetFileName(), Elsewhere);
  EXPECT_EQ(ReadText(Elsewhere), "changed");
  EXPECT_EQ(ReadText(File), "text");
  EXPECT_FALSE(Doc->GetModified());
  EXPECT_EQ(Caption(Doc), Elsewhere);
}

TEST_F(EditorTest, AFileHasOneWindowAndItsNameStaysAsItsBytes) {
  Start();
  TTestKind Sig("TSig", "Подпись", {"s"}, {efCanCreate, efCanSave, efCanLoad}, "SIG!");
  TRegisteredKinds Registered{&Sig};
  // "Алг.s" in the Windows code page: bytes that are no UTF-8.
  const std::string File = Home + "/\xC0\xEB\xE3.s";
  WriteText(File, "SIG!rest");
  TEditorForm* Doc = Shell->OpenFile(File);
  EXPECT_EQ(Doc->GetFileName(), File);
  EXPECT_EQ(Caption(Doc), Home + "/\\xC0\\xEB\\xE3.s");
  ASSERT_EQ(symlink(File.c_str(), (Home + "/link.s").c_str()), 0);
  for (const std::string& Again : {File, Home + "/./\xC0\xEB\xE3.s", Home + "/link.s"})
    EXPECT_EQ(Shell->OpenFile(Again), Doc) << Again;
  EXPECT_EQ(Shell->GetEditorCount(), 1);
  EXPECT_EQ(Shell->GetActiveWindow(), Doc);

  // Saved under its name, the bytes are the file's.
  static_cast<TTestForm*>(Doc)->Text = "SIG!new";
  Doc->SetModified(true);
  EXPECT_EQ(Caption(Doc), "*" + Home + "/\\xC0\\xEB\\xE3.s");
  EXPECT_TRUE(Doc->Save());
  EXPECT_EQ(ReadText(File), "SIG!new");
}

TEST_F(EditorTest, OpenStartsAtTheActiveDocumentWithItsKindsFilter) {
  Start();
  TTestKind First("TFirst", "Первый", {"a"}), Second("TSecond", "Второй", {"b"});
  TRegisteredKinds Registered{&First, &Second};
  struct TSeen {
    std::string Folder, Filter;
  };
  auto OpenDialogShows = [&] {
    TSeen Seen;
    TModalAnswers Answers({"-"}); // looked at, then closed
    Answers.Prepare = [&](QWidget* Dialog) {
      if (auto* D = qobject_cast<QFileDialog*>(Dialog)) {
        Seen.Folder = D->directory().absolutePath().toStdString();
        Seen.Filter = D->selectedNameFilter().toStdString();
      }
    };
    Shell->FileOpenExecute();
    return Seen;
  };
  // Nothing open, nothing chosen yet: the documents folder (never the
  // program's), the first kind's files.
  SetWorkingDir("");
  TSeen Seen = OpenDialogShows();
  EXPECT_EQ(Seen.Folder, DocumentsDir());
  EXPECT_EQ(Seen.Filter, "Первый (*.a)");

  // The active document's folder and kind.
  ASSERT_EQ(mkdir((Home + "/class").c_str(), 0700), 0);
  TEditorForm* Doc = Shell->CreateEditor(&Second);
  ASSERT_TRUE(Doc->SaveAsFile(Home + "/class/work.b"));
  Shell->FormActivated(Doc);
  Seen = OpenDialogShows();
  EXPECT_EQ(Seen.Folder, Home + "/class");
  EXPECT_EQ(Seen.Filter, "Второй (*.b)");
  SetWorkingDir("");
}

TEST_F(EditorTest, CloseAllStopsAtTheFirstCancelAndClosesNothing) {
  Start();
  TTestKind Kind("TKind", "Вид", {"txt"});
  TRegisteredKinds Registered{&Kind};
  std::vector<TEditorForm*> Docs;
  for (int I = 0; I < 3; ++I) {
    Docs.push_back(Shell->CreateEditor(&Kind));
    Docs.back()->SetModified(true);
  }
  std::string Asked;
  std::vector<TBasicForm*> InFront;
  {
    TModalAnswers Answers({"&Нет", "Отмена", "&Нет"});
    Answers.Prepare = [&](QWidget* Dialog) {
      for (QLabel* L : Dialog->findChildren<QLabel*>())
        if (L->text().startsWith("Сохранить"))
          Asked += L->text().toStdString() + "\n";
      EXPECT_EQ(Dialog->windowTitle().toStdString(), "Подтверждение");
      // The document the question names is the one in front.
      InFront.push_back(Shell->GetWindowList().GetActive());
    };
    EXPECT_FALSE(Shell->CloseAll());
    EXPECT_EQ(Answers.Asked(), 2);
  }
  EXPECT_EQ(Asked, "Сохранить изменения в \"Безымянный1.txt\"?\n"
                   "Сохранить изменения в \"Безымянный2.txt\"?\n");
  EXPECT_EQ(InFront, (std::vector<TBasicForm*>{Docs[0], Docs[1]}));
  EXPECT_EQ(Shell->GetEditorCount(), 3);

  // Unchanged documents go without a question.
  for (TEditorForm* D : Docs)
    D->SetModified(false);
  Docs[0]->SetModified(true);
  {
    TModalAnswers Answers({"&Нет"});
    EXPECT_TRUE(Shell->CloseAll());
    EXPECT_EQ(Answers.Asked(), 1);
  }
  EXPECT_EQ(Shell->GetEditorCount(), 0);
}

TEST_F(EditorTest, OpenFilterAndItsDefaultIndex) {
  Start();
  TTestKind Alg("TAlg", "Алгоритм", {"alg"});
  std::string Filter;
  int Index = 0;
  {
    TRegisteredKinds Registered{&Alg};
    Shell->MakeFilter(Filter, Index);
    EXPECT_EQ(Filter, "Алгоритм (*.alg)|*.alg|Все файлы|*.*");
    EXPECT_EQ(Index, 2);
    EXPECT_EQ(FilterToNameFilters(Filter), (QStringList{"Алгоритм (*.alg)", "Все файлы (*)"}));
  }
  TTestKind Two("TTwo", "Два", {"a", "b"}), None("TNone", "Без масок", {}),
      Nameless("TNameless", "", {"x"}), Closed("TClosed", "Закрытый", {"c"}, {efCanCreate});
  TRegisteredKinds Registered{&Two, &None, &Nameless, &Closed};
  Shell->MakeFilter(Filter, Index);
  EXPECT_EQ(Filter, "Два (*.a; *.b)|*.a; *.b|Без масок|*.*|Все файлы|*.*");
  EXPECT_EQ(Index, 3);
  EXPECT_EQ(FilterToNameFilters(Filter),
            (QStringList{"Два (*.a *.b)", "Без масок (*)", "Все файлы (*)"}));

  // The save dialog's filter of one kind.
  EXPECT_EQ(Shell->CreateEditor(&Two)->MakeSaveFilter(), "Два (*.a)|*.a|Все файлы|*.*");
}

TEST_F(EditorTest, ContentDecidesAndTheLastUniversalKindIsTheFallback) {
  Start();
  TTestKind Sig("TSig", "Подпись", {"s"}, {efCanCreate, efCanSave, efCanLoad}, "SIG!"),
      Blind("TBlind", "Без загрузки", {"b"}, {efCanCreate}, "SIG!"),
      Long("TLong", "Длинная", {"l"}, {efCanLoad}, "LONGSIGNATURE");
  std::string Text = Home + "/file.q", Signed = Home + "/signed.txt";
  WriteText(Text, "plain text");
  WriteText(Signed, "SIG!rest");
  {
    TRegisteredKinds Registered{&Long, &Blind, &Sig};
    EXPECT_EQ(Shell->GetFileEditor(Signed), &Sig);
    EXPECT_EQ(Shell->GetFileEditor(Text), nullptr);
    try {
      Shell->OpenFile(Text);
      ADD_FAILURE() << "opened without a kind";
    } catch (const Exception& E) {
      EXPECT_EQ(E.Message(), "Нет редактора для файла \"" + Text + "\".");
    }
    EXPECT_EQ(Shell->GetEditorCount(), 0);
    // Content that no kind knows, under a kind's extension: that kind's
    // loader tells what is wrong with it.
    WriteText(Home + "/file.s", "plain text");
    EXPECT_EQ(Shell->GetExtensionEditor(Home + "/file.S"), &Sig);
    EXPECT_EQ(Shell->GetExtensionEditor(Home + "/s"), nullptr);
    EXPECT_EQ(Shell->OpenFile(Home + "/file.s")->GetClass(), &Sig);
    Shell->CloseAll();

    // Every kind reads from the same position.
    TMemoryStream S;
    S.WriteBuffer("xxSIG!", 6);
    S.SetPosition(2);
    EXPECT_EQ(Shell->GetStreamEditor(S), &Sig);
  }
  TTestKind U1("TU1", "Любой 1", {}, {efUniversal, efCanLoad}),
      U2("TU2", "Любой 2", {}, {efUniversal, efCanLoad, efCanSave});
  TRegisteredKinds Registered{&U1, &Sig, &U2};
  EXPECT_EQ(Shell->GetFileEditor(Text), &U2);
  EXPECT_EQ(Shell->GetFileEditor(Signed), &Sig);

  auto* Doc = static_cast<TTestForm*>(Shell->OpenFile(Signed));
  EXPECT_EQ(Doc->GetClass(), &Sig);
  EXPECT_EQ(Doc->Text, "SIG!rest");
  EXPECT_EQ(Doc->GetFileName(), Signed);
  EXPECT_EQ(Doc->GetNonameNumber(), 0);
  EXPECT_TRUE(Doc->GetHasFileName());
  EXPECT_FALSE(Doc->CanSave());
  EXPECT_EQ(Caption(Doc), Signed);
  // Its untitled number went back when it got its name.
  EXPECT_EQ(Shell->CreateEditor(&Sig)->GetFileName(), "Безымянный1.s");
}

} // namespace
