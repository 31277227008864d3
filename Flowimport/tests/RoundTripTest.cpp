// Charts written as program text and read back: every example in both
// styles of Python and Pascal, the text form of every example (whose file
// must be byte for byte what a resave writes), and random algorithms in
// the form the text can carry.

#include "Flowimport/Flowimport_Errors.h"
#include "Flowimport/Flowimport_Expr.h"
#include "Flowimport/Flowimport_Program.h"
#include "Flowimport/Flowimport_Tokens.h"

#include "Corekit/MiscUtils_Bag.h"
#include "Corekit/Streams.h"
#include "Corekit/SysUtils.h"
#include "Flowcode/Flowcode_Program.h"
#include "Flowlang/Flowlang_Expression.h"
#include "Flowlang/Flowlang_Statement.h"
#include "Flowmodel/Flowmodel_Describe.h"
#include "Flowmodel/Flowmodel_Files.h"
#include "Flowmodel/Flowmodel_Main.h"
#include "RandomAlgorithm.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace Deskbay;

namespace {

std::string Show(const TAlgorithm& Alg) {
  std::string S;
  for (const std::string& L : BlockTreeLines(Alg.GetRoot()))
    S += L + "\n";
  return S;
}

std::vector<std::string> Examples() {
  std::vector<std::string> Files;
  for (const auto& E : std::filesystem::directory_iterator(EXAMPLES_DIR))
    if (E.path().extension() == ".alg")
      Files.push_back(E.path().string());
  std::sort(Files.begin(), Files.end());
  return Files;
}

std::vector<uint8_t> Saved(TAlgorithm& Alg) {
  TMemoryStream S;
  SaveObjectToStream(&Alg, &S);
  return S.GetBytes();
}

struct TWay {
  TCodeLanguage Language;
  TCodeStyleKind Style;
  TImportForm Form;
};
const TWay Ways[] = {{TCodeLanguage::Python, TCodeStyleKind::Exact, TImportForm::Python},
                     {TCodeLanguage::Python, TCodeStyleKind::Lesson, TImportForm::Python},
                     {TCodeLanguage::Pascal, TCodeStyleKind::Exact, TImportForm::Pascal},
                     {TCodeLanguage::Pascal, TCodeStyleKind::Lesson, TImportForm::Pascal}};

std::string WayName(const TWay& W) {
  return std::string(CodeLanguageName(W.Language)) + " " + CodeStyleName(W.Style);
}

// The chart as the program text writes it back: the chart itself when the
// text holds all it says.
std::string ThroughProgram(const TAlgorithm& Alg, const TWay& W) {
  const std::string Text = GenerateProgram(Alg, W.Language, W.Style).GetText();
  TAlgorithm Back;
  try {
    ImportProgram(Back, Text, W.Form, "program");
  } catch (const Exception& E) {
    return "refused: " + E.Message() + "\n" + Text;
  }
  return Show(Back);
}

TEST(ImportRoundTrip, EveryExampleInBothStylesOfPythonAndPascal) {
  for (const std::string& File : Examples()) {
    TAlgorithm Alg;
    LoadAlgorithmFile(Alg, File);
    for (const TWay& W : Ways)
      EXPECT_EQ(ThroughProgram(Alg, W), Show(Alg)) << File << ", " << WayName(W);
  }
}

TEST(ImportRoundTrip, TextFormOfEveryExampleGivesTheResavedFile) {
  for (const std::string& File : Examples()) {
    TAlgorithm Alg;
    LoadAlgorithmFile(Alg, File);
    TAlgorithm Back;
    ImportProgram(Back, Show(Alg), TImportForm::Text, File + ".txt");
    EXPECT_EQ(Show(Back), Show(Alg)) << File;
    EXPECT_EQ(Saved(Back), Saved(Alg)) << File;
  }
}

// The canonical spelling of a line's expression, as the import writes it.
// Set when a MOD has an operand that Python's % reads otherwise.
thread_local bool FractionalMod = false;
// The lesson text of Python puts a number with a signed exponent into
// parentheses as an operand of ** and %.
thread_local bool PythonLesson = false;

TPiece Operand(const TPiece& P) {
  return PythonLesson && P.IsNumber() && P.Text.find('-') != std::string::npos ? TPiece::Parens(P)
                                                                               : P;
}

bool FractionalOperand(const TCodeExpr& E) {
  const TCodeExpr* P = &E;
  while (P->Kind == TCodeExpr::ekParens)
    P = &P->Args[0];
  if (P->Kind == TCodeExpr::ekNegate)
    return true;
  return P->Kind == TCodeExpr::ekNumber && P->Text.find_first_of(".eE") != std::string::npos;
}

TPiece Canonical(const TCodeExpr& E, bool SqrAsPower) {
  if (E.Kind == TCodeExpr::ekMod && (FractionalOperand(E.Args[0]) || FractionalOperand(E.Args[1])))
    FractionalMod = true;
  switch (E.Kind) {
  case TCodeExpr::ekNumber:
    return TPiece::Number(CanonicalNumber(E.Text));
  case TCodeExpr::ekVariable:
    return TPiece::Number(E.Text);
  case TCodeExpr::ekNegate:
    return TPiece::Negate(Canonical(E.Args[0], SqrAsPower));
  case TCodeExpr::ekParens:
    return TPiece::Parens(Canonical(E.Args[0], SqrAsPower));
  case TCodeExpr::ekFunction:
    if (SqrAsPower && E.Text == "SQR") {
      const TPiece A = Operand(Canonical(E.Args[0], SqrAsPower));
      return TPiece::Binary('^', A.Level >= 5 ? A : TPiece::Parens(A), TPiece::Number("2"));
    }
    return TPiece::Call(E.Text, Canonical(E.Args[0], SqrAsPower));
  default:
    break;
  }
  static const std::pair<TCodeExpr::TKind, char> Ops[] = {
      {TCodeExpr::ekAdd, '+'},    {TCodeExpr::ekSubtract, '-'}, {TCodeExpr::ekMultiply, '*'},
      {TCodeExpr::ekDivide, '/'}, {TCodeExpr::ekPower, '^'},    {TCodeExpr::ekMod, 'M'}};
  char Op = '+';
  for (const auto& [K, O] : Ops)
    if (K == E.Kind)
      Op = O;
  if (Op == '^' || Op == 'M')
    return TPiece::Binary(Op, Operand(Canonical(E.Args[0], SqrAsPower)),
                          Operand(Canonical(E.Args[1], SqrAsPower)));
  return TPiece::Binary(Op, Canonical(E.Args[0], SqrAsPower), Canonical(E.Args[1], SqrAsPower));
}

std::string CanonicalExpr(const std::string& Text, bool SqrAsPower, bool& Ok) {
  const TCodeExprReading R = ReadCodeExpression(Text);
  if (R.Refused || R.AlwaysFails) {
    Ok = false;
    return Text;
  }
  return Canonical(R.Root, SqrAsPower).Text;
}

// Lines as the import writes them; false when the program text cannot
// carry the line (the machine refuses it, so the text says only that).
bool CanonicalLines(TAlgBlock* B, bool SqrAsPower) {
  bool Ok = true;
  std::vector<std::string> Lines;
  for (const std::string& Line : B->GetText().Lines()) {
    TStatement S;
    switch (B->GetKind()) {
    case TAlgBlockKind::Computation:
      S = ReadComputationLine(Line);
      if (S.Kind == TStatementKind::Assignment)
        Lines.push_back(std::string(1, S.Var) + "=" +
                        CanonicalExpr(S.Exprs[0].Text, SqrAsPower, Ok));
      else if (S.Kind == TStatementKind::Drawing)
        Lines.push_back(Trim(Line));
      else
        Ok = false;
      break;
    case TAlgBlockKind::InputOutput: {
      S = ReadInputOutputLine(Line);
      std::string T;
      if (S.Kind == TStatementKind::Input && S.ValidInputItems == S.Items.size()) {
        for (const TExprText& I : S.Items)
          T += (T.empty() ? "Ввод " : ", ") + UpperCase(I.Text);
      } else if (S.Kind == TStatementKind::Output) {
        for (const TExprText& I : S.Exprs)
          T += (T.empty() ? "Вывод " : ", ") + CanonicalExpr(I.Text, SqrAsPower, Ok);
      } else {
        Ok = false;
      }
      Lines.push_back(T);
      break;
    }
    case TAlgBlockKind::Branch:
    case TAlgBlockKind::WhileLoop:
    case TAlgBlockKind::UntilLoop:
      S = ReadCondition(Line);
      if (S.Kind != TStatementKind::Condition) {
        Ok = false;
        break;
      }
      Lines.push_back(CanonicalExpr(S.Exprs[0].Text, SqrAsPower, Ok) + S.Op +
                      CanonicalExpr(S.Exprs[1].Text, SqrAsPower, Ok));
      break;
    case TAlgBlockKind::ForLoop:
      S = ReadCountingLoop(Line);
      if (S.Kind != TStatementKind::CountingLoop) {
        Ok = false;
        break;
      }
      Lines.push_back(std::string(1, S.Var) + "=" + CanonicalExpr(S.Exprs[0].Text, SqrAsPower, Ok) +
                      "," + CanonicalExpr(S.Exprs[1].Text, SqrAsPower, Ok) + "," +
                      CanonicalExpr(S.Exprs[2].Text, SqrAsPower, Ok));
      break;
    case TAlgBlockKind::Root:
    case TAlgBlockKind::Sequence:
      return true;
    }
    if (B->GetKind() != TAlgBlockKind::Computation && B->GetKind() != TAlgBlockKind::InputOutput)
      break; // only the first line of a condition or header counts
  }
  B->GetText().SetLines(Lines);
  return Ok;
}

// The random chart in the form a program text carries: canonical lines,
// neighbouring blocks of one kind joined (the text has no block borders),
// a branch that only says "нет" turned round. False when some line cannot
// be carried at all.
bool Canonicalise(TAlgBlock* Seq, bool SqrAsPower) {
  for (int I = 0; I < Seq->GetBlockCount(); ++I) {
    TAlgBlock* B = Seq->GetBlocks(I);
    if (!CanonicalLines(B, SqrAsPower))
      return false;
    if (B->GetKind() == TAlgBlockKind::Branch) {
      auto* If = static_cast<TIfAlgBlock*>(B);
      if (If->GetYesBranch()->GetBlockCount() == 0 && If->GetNoBranch()->GetBlockCount() > 0) {
        const TStatement S = ReadCondition(B->GetText().Get(0));
        B->GetText().SetLines({S.Exprs[0].Text + NegatedComparison(S.Op) + S.Exprs[1].Text});
        while (If->GetNoBranch()->GetBlockCount() > 0)
          If->GetNoBranch()->GetBlocks(0)->CreateCopy(If->GetYesBranch()),
              If->GetNoBranch()->GetBlocks(0)->Free();
      }
      if (!Canonicalise(If->GetYesBranch(), SqrAsPower) ||
          !Canonicalise(If->GetNoBranch(), SqrAsPower))
        return false;
    } else if (TCompoundAlgBlock* Body = AlgBodyOf(B)) {
      if (!Canonicalise(Body, SqrAsPower))
        return false;
    }
    const bool Simple =
        B->GetKind() == TAlgBlockKind::Computation || B->GetKind() == TAlgBlockKind::InputOutput;
    if (Simple && I > 0 && Seq->GetBlocks(I - 1)->GetKind() == B->GetKind()) {
      TAlgBlock* Prev = Seq->GetBlocks(I - 1);
      std::vector<std::string> Lines = Prev->GetText().Lines();
      for (const std::string& L : B->GetText().Lines())
        Lines.push_back(L);
      Prev->GetText().SetLines(Lines);
      B->Free();
      --I;
    }
  }
  return true;
}

// The first line where two texts differ, both versions; empty when equal.
std::string FirstDifference(const std::string& Got, const std::string& Want) {
  size_t G = 0, W = 0;
  while (G < Got.size() || W < Want.size()) {
    const size_t GE = std::min(Got.find('\n', G), Got.size());
    const size_t WE = std::min(Want.find('\n', W), Want.size());
    const std::string GL = Got.substr(G, GE - G), WL = Want.substr(W, WE - W);
    if (GL != WL)
      return "got:  " + GL + "\nwant: " + WL;
    G = GE + 1;
    W = WE + 1;
  }
  return "";
}

TEST(ImportRoundTrip, RandomAlgorithmsInTheFormTheTextCarries) {
  int Compared = 0;
  for (std::uint32_t Seed = 1; Seed <= 1000; ++Seed) {
    for (const TWay& W : Ways) {
      TAlgorithm Alg;
      std::string Input;
      Testing::MakeRandomAlgorithm(Alg, Seed, Input);
      // The lesson text spells SQR(X) and X^2 alike; its Python spells MOD
      // as %, refused where the two differ.
      FractionalMod = false;
      PythonLesson = W.Style == TCodeStyleKind::Lesson && W.Language == TCodeLanguage::Python;
      if (!Canonicalise(Alg.GetRoot()->GetBody(), W.Style == TCodeStyleKind::Lesson) ||
          (FractionalMod && W.Style == TCodeStyleKind::Lesson &&
           W.Language == TCodeLanguage::Python))
        continue;
      const std::string Text = GenerateProgram(Alg, W.Language, W.Style).GetText();
      // A line the program only stops at says nothing of the chart.
      if (Text.find("fail(\"Ошибка") != std::string::npos ||
          Text.find("Fail('Ошибка") != std::string::npos ||
          Text.find("(StdErr, 'Ошибка") != std::string::npos ||
          Text.find("sys.exit(\"Ошибка") != std::string::npos)
        continue;
      ++Compared;
      const std::string Got = ThroughProgram(Alg, W), Want = Show(Alg);
      ASSERT_EQ(FirstDifference(Got, Want), "") << "seed " << Seed << ", " << WayName(W);
    }
  }
  EXPECT_GT(Compared, 1000);
}

} // namespace
