#include "RandomAlgorithm.h"

#include "Flowmodel/Flowmodel_Main.h"

#include <random>
#include <vector>

namespace Deskbay::Testing {

namespace {

// Letters the random statements assign; loops count with their own.
const char Assignable[] = "ABCDEF";
const char ForVars[] = "IJK";
const char WhileVars[] = "WXY";
const char UntilVars[] = "UVZ";

const char* const Numbers[] = {"0",   "1",      "2",   "3",   "5",    "7",      "10",
                               "12",  "0.5",    "2.5", "0.1", "1.25", "3.7",    ".5",
                               "1e2", "2.5E-3", "100", "4",   "9",    "1000000"};

// Now and then: whole numbers beyond an int and beyond a double's exact
// range, values a digit from a rounding tie of the printed ten, and
// arguments where SIN and COS need a careful reduction.
const char* const RareNumbers[] = {
    "2000000000",       "2147483647",  "3000000000",   "4000000000",    "9007199254740993",
    "9007199254740992", "12345678905", "1.1776968085", "0.12345678905", "2.0000000005",
    "99999999995",      "1E12",        "1E18",         "1E19",          "123456789012345678"};

const char* const Functions[] = {"ABS",   "ATAN", "COS",  "EXP", "LN",
                                 "ROUND", "SIN",  "SQRT", "SQR", "TRUNC"};

class TRandomMaker {
public:
  explicit TRandomMaker(std::uint32_t Seed) : FRandom(Seed) {}

  void Fill(TAlgorithm& Alg, std::string& Input) {
    TAlgBlock* Root = Alg.GetRoot()->GetBody();
    // Every variable has a value before anything reads it.
    // In some algorithms one variable is left without a value, so that
    // some paths read it unset.
    const int Unset = Chance(30) ? Below(6) : -1;
    std::vector<std::string> Init;
    for (const char* V = Assignable; *V; ++V)
      if (V - Assignable != Unset)
        Init.push_back(std::string(1, *V) + "=" + Number());
    for (const char* Loops : {ForVars, WhileVars, UntilVars})
      for (const char* V = Loops; *V; ++V)
        Init.push_back(std::string(1, *V) + "=0");
    Add(Root, TBasicAlgBlock::Class, Init);
    Sequence(Root, 0, 2 + Below(4));
    for (int I = 0; I < 40; ++I)
      Input += InputValue() + "\n";
  }

private:
  std::mt19937 FRandom;

  int Below(int N) { return static_cast<int>(FRandom() % static_cast<unsigned>(N)); }
  bool Chance(int Percent) { return Below(100) < Percent; }

  static TAlgBlock* Add(TAlgBlock* Parent, const TAlgBlockClass& Class,
                        const std::vector<std::string>& Lines) {
    TAlgBlock* B = Class.Create(Parent);
    B->GetText().SetLines(Lines);
    return B;
  }

  std::string Number() {
    return Chance(8) ? RareNumbers[Below(std::size(RareNumbers))]
                     : Numbers[Below(std::size(Numbers))];
  }

  std::string InputValue() {
    static const char* const Values[] = {"3", "-2", "0", "7.5", "1e3", "0.1", "  4  ", "12"};
    // Now and then what only looks like a number, or no number at all,
    // which stops the run; or a number written oddly, which does not.
    static const char* const Odd[] = {".",     "e5",  ".e1",  "1e+", "١٢",    "１",
                                      "abc",   "1,5", "+.5",  "5.",  "-0",    "1e-400",
                                      "1e400", "\t7", "0x10", "inf", "1e5e5", "--1"};
    return Chance(3) ? Odd[Below(std::size(Odd))] : Values[Below(std::size(Values))];
  }

  // A variable as the pupil might write it, in either case.
  std::string Variable() {
    const char V = Chance(85) ? Assignable[Below(6)] : "IJKWXYUVZ"[Below(9)];
    return std::string(1, Chance(20) ? static_cast<char>(V | 0x20) : V);
  }

  std::string Leaf() { return Chance(55) ? Variable() : Number(); }

  // An operand of MOD or "^": a leaf or something in parentheses.
  std::string Operand(int Depth) { return Chance(60) ? Leaf() : "(" + Expression(Depth - 1) + ")"; }

  std::string Expression(int Depth) {
    if (Depth <= 0 || Chance(25))
      return Leaf();
    switch (Below(10)) {
    case 0:
      if (Chance(10))
        return Expression(Depth - 1) + " / 0";
      [[fallthrough]];
    case 1:
    case 2:
    case 3: {
      static const char* const Ops[] = {" + ", " - ", "*", " / "};
      return Expression(Depth - 1) + Ops[Below(4)] + Expression(Depth - 1);
    }
    case 4:
      return "(" + Operand(Depth) + (Chance(50) ? " MOD " : " mod ") + Operand(Depth) + ")";
    case 5: {
      // Small exponents; bases that are sometimes negative or zero.
      static const char* const Exponents[] = {"2", "3", "0.5", "-1", "1.5", "10"};
      return "(" + Operand(Depth) + "^" + Exponents[Below(std::size(Exponents))] + ")";
    }
    case 6:
      return "-" + (Chance(50) ? Variable() : "(" + Expression(Depth - 1) + ")");
    case 7:
    case 8: {
      std::string F = Functions[Below(std::size(Functions))];
      if (Chance(20))
        for (char& C : F)
          C = static_cast<char>(C | 0x20);
      return F + "(" + Expression(Depth - 1) + ")";
    }
    default:
      return "(" + Expression(Depth - 1) + ")";
    }
  }

  std::string Condition() {
    static const char* const Ops[] = {"<", ">", "=", "<>", "<=", ">="};
    return Expression(1) + Ops[Below(6)] + Expression(1);
  }

  void Statement(TAlgBlock* Parent, int Depth) {
    const int Kind = Below(Depth >= 3 ? 3 : 8);
    switch (Kind) {
    case 0: {
      std::vector<std::string> Lines;
      for (int I = 1 + Below(3); I > 0; --I)
        Lines.push_back(std::string(1, Assignable[Below(6)]) + (Chance(30) ? " = " : "=") +
                        Expression(2 + Below(2)));
      Add(Parent, TBasicAlgBlock::Class, Lines);
      return;
    }
    case 1: {
      std::string Line = Chance(80) ? "Вывод " : "вывод ";
      for (int I = 1 + Below(3); I > 0; --I)
        Line += Expression(2) + (I > 1 ? ", " : "");
      Add(Parent, TIOAlgBlock::Class, {Line});
      return;
    }
    case 2: {
      std::string Line = "Ввод " + std::string(1, Assignable[Below(6)]);
      if (Chance(30))
        Line += std::string(",") + Assignable[Below(6)];
      Add(Parent, TIOAlgBlock::Class, {Line, "Вывод " + Expression(1)});
      return;
    }
    case 3:
    case 4: {
      auto* If = static_cast<TIfAlgBlock*>(Add(Parent, TIfAlgBlock::Class, {Condition()}));
      if (Chance(80))
        Sequence(If->GetYesBranch(), Depth + 1, 1 + Below(2));
      if (Chance(60))
        Sequence(If->GetNoBranch(), Depth + 1, 1 + Below(2));
      return;
    }
    case 5: {
      const std::string V(1, ForVars[Depth % 3]);
      static const char* const Headers[] = {"=1,3,1",     "=0,4,2", "=3,1,-1", "=0,1,0.25",
                                            "=0,0.5,0.1", "=2,2,1", "=5,1,1",  "=-2,2,1.5"};
      auto* For = static_cast<TContainerAlgBlock*>(
          Add(Parent, TForAlgBlock::Class, {V + Headers[Below(std::size(Headers))]}));
      Sequence(For->GetBody(), Depth + 1, 1 + Below(2));
      return;
    }
    case 6: {
      const std::string V(1, WhileVars[Depth % 3]);
      Add(Parent, TBasicAlgBlock::Class, {V + "=0"});
      auto* While = static_cast<TContainerAlgBlock*>(
          Add(Parent, TWhileAlgBlock::Class, {V + "<" + std::to_string(1 + Below(3))}));
      Sequence(While->GetBody(), Depth + 1, 1 + Below(2));
      Add(While->GetBody(), TBasicAlgBlock::Class, {V + "=" + V + "+1"});
      return;
    }
    default: {
      const std::string V(1, UntilVars[Depth % 3]);
      Add(Parent, TBasicAlgBlock::Class, {V + "=0"});
      auto* Until = static_cast<TContainerAlgBlock*>(
          Add(Parent, TUntilAlgBlock::Class, {V + " < " + std::to_string(1 + Below(3))}));
      Sequence(Until->GetBody(), Depth + 1, 1 + Below(2));
      Add(Until->GetBody(), TBasicAlgBlock::Class, {V + "=" + V + "+1"});
      return;
    }
    }
  }

  void Sequence(TAlgBlock* Parent, int Depth, int Count) {
    for (int I = 0; I < Count; ++I)
      Statement(Parent, Depth);
  }
};

} // namespace

void MakeRandomAlgorithm(TAlgorithm& Alg, std::uint32_t Seed, std::string& Input) {
  TRandomMaker(Seed).Fill(Alg, Input);
}

} // namespace Deskbay::Testing
