#pragma once

// Random algorithms for the tests that hold the machine's quick ways to its
// step-by-step one: computations, output, drawing, branches and the three
// loops, nested a few deep, with lines that fail now and then (a division
// by zero, a variable never set, a condition that does not parse).

#include "Flowmodel/Flowmodel_Main.h"

#include <random>
#include <string>
#include <vector>

namespace Deskbay::Testing {

class TRandomAlgorithm {
public:
  explicit TRandomAlgorithm(unsigned Seed) : FRandom(Seed) {}

  void Build(TAlgorithm& Alg) {
    TAlgBlock* R = Alg.GetRoot()->GetBody();
    TBasicAlgBlock::Class.CreateWithLines(
        R, {"S=0", "A=" + std::to_string(Pick(5)), "B=" + std::to_string(Pick(9) + 1)});
    const int Items = 1 + Pick(2);
    for (int I = 0; I < Items; ++I)
      Loop(R, 0);
    Blocks(R, 0);
    if (Pick(2) == 0)
      TIOAlgBlock::Class.CreateWithLines(R, {"Вывод S, A"});
  }

private:
  int Pick(int N) { return static_cast<int>(FRandom() % unsigned(N)); }
  template <size_t N> const char* From(const char* const (&Items)[N]) { return Items[Pick(N)]; }

  std::string Line() {
    static const char* const Assignments[] = {
        "S=S+I",     "S=S+I MOD 3",    "A=A*B-1",   "S=S+(I*J) MOD 7", "B=S/(I-3)",
        "A=SQRT(I)", "S=A+Q",          "S=S*1E300", "A=I/2",           "B=-B+0.5",
        "J=J+1",     "S=S+TRUNC(A/3)", "A=I",       "S=S-B*B",         "I=I+1"};
    static const char* const Drawings[] = {"тчк(I MOD 20,J MOD 13),1",
                                           "отр(I MOD 20,0)-(I MOD 13,19),I MOD 17",
                                           "тчк(I,0),2",
                                           "тчк(A-2.5,B*0.5),I MOD 18",
                                           "тчк(I*I*I,-I*I*I),A",
                                           "тчк(-I*4294967296+I*25,0),2",
                                           "тчк(Q,1),1",
                                           "отр(0,0)-(A,B),3",
                                           "крг(10,10),I MOD 5,1,2",
                                           "отр(0,0)-("};
    return Pick(4) == 0 ? From(Drawings) : From(Assignments);
  }

  std::string Header() {
    const std::string N = std::to_string(Pick(25));
    const char* const Headers[] = {"I=1,N,1", "J=1,3,1", "I=A,B,0.5", "I=10,1,-1",
                                   "K=1,5,Z", "I=1,5",   "J=B,N,2",   "I=1,N,1"};
    std::string H = From(Headers);
    const size_t At = H.find('N');
    if (At != std::string::npos)
      H.replace(At, 1, N);
    return H;
  }

  std::string Condition() {
    static const char* const Conditions[] = {"S<-1E9", "I<3",       "A<B",       "S MOD 2=0",
                                             "J<=I",   "1/(I-3)>0", "Q>1",       "B<>0",
                                             "A>=S",   "",          "I MOD 3=1", "S>"};
    return From(Conditions);
  }

  // A few blocks of any kind into Parent: computations, output, branches
  // and the three loops, nested up to a depth.
  void Blocks(TAlgBlock* Parent, int Depth) {
    const int Items = Pick(4);
    for (int I = 0; I < Items; ++I) {
      const int Kind = Pick(Depth < 3 ? 14 : 8);
      if (Kind == 0 && Depth < 3) {
        Loop(Parent, Depth + 1);
      } else if (Kind == 1) {
        TIOAlgBlock::Class.CreateWithLines(Parent, {Pick(2) ? "Вывод I" : "Вывод S, A/(B-3)"});
      } else if (Kind == 8) {
        auto* If = static_cast<TIfAlgBlock*>(TIfAlgBlock::Class.CreateWithLines(
            Parent, Pick(8) ? std::vector<std::string>{Condition()} : std::vector<std::string>{}));
        Blocks(If->GetYesBranch(), Depth + 1);
        Blocks(If->GetNoBranch(), Depth + 1);
      } else if (Kind == 9) {
        // A condition loop that ends: its body counts its variable up.
        auto* W = static_cast<TWhileAlgBlock*>(
            TWhileAlgBlock::Class.CreateWithLines(Parent, {Pick(3) ? "K<4" : Condition()}));
        TBasicAlgBlock::Class.CreateWithLines(W->GetBody(), {"K=K+1"});
        Blocks(W->GetBody(), Depth + 1);
      } else if (Kind == 10) {
        auto* U = static_cast<TUntilAlgBlock*>(
            TUntilAlgBlock::Class.CreateWithLines(Parent, {Pick(3) ? "L<3" : Condition()}));
        Blocks(U->GetBody(), Depth + 1);
        TBasicAlgBlock::Class.CreateWithLines(U->GetBody(), {"L=L+1"});
      } else if (Kind == 11) {
        TBasicAlgBlock::Class.CreateWithLines(Parent, {"K=0", "L=0"});
      } else if (Kind == 12) {
        TIOAlgBlock::Class.CreateWithLines(Parent, {});
      } else {
        std::vector<std::string> Lines;
        const int Count = 1 + Pick(3);
        for (int L = 0; L < Count; ++L)
          Lines.push_back(Line());
        TBasicAlgBlock::Class.CreateWithLines(Parent, Lines);
      }
    }
  }

  void Loop(TAlgBlock* Parent, int Depth) {
    auto* For = static_cast<TForAlgBlock*>(TForAlgBlock::Class.CreateWithLines(Parent, {Header()}));
    if (Pick(3) == 0) {
      Blocks(For->GetBody(), Depth);
      return;
    }
    // Mostly computations only, a pass after pass of the flat program.
    const int Items = 1 + Pick(3);
    for (int I = 0; I < Items; ++I) {
      std::vector<std::string> Lines;
      const int Count = 1 + Pick(3);
      for (int L = 0; L < Count; ++L)
        Lines.push_back(Line());
      TBasicAlgBlock::Class.CreateWithLines(For->GetBody(), Lines);
    }
  }

  std::mt19937 FRandom;
};

} // namespace Deskbay::Testing
