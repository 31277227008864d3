// The help's pages against the program: every message the interpreter can
// give is explained, every example runs as the page says, every picture and
// link leads somewhere.

#include "help/HelpExamples.h"

#include "tools/Algtool_Files.h"
#include "tools/tests/AlgtoolProcess.h"

#include "Corekit/SysUtils.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>

using namespace Deskbay;
using namespace Deskbay::Help;
using Deskbay::Testing::RunProcess;
using Deskbay::Testing::TTempDir;

namespace {

struct TPage {
  std::string Name; // file name without folder
  std::string Path;
  std::string Html;
};

std::vector<TPage> Pages() {
  std::vector<TPage> Result;
  const std::string List = HELP_PAGES;
  size_t From = 0;
  while (From <= List.size()) {
    size_t Bar = List.find('|', From);
    if (Bar == std::string::npos)
      Bar = List.size();
    TPage P;
    P.Path = List.substr(From, Bar - From);
    P.Name = std::filesystem::path(P.Path).filename().string();
    P.Html = Testing::ReadFileBytes(P.Path);
    Result.push_back(P);
    From = Bar + 1;
  }
  return Result;
}

// What a reader sees of all pages, every run of blanks one space.
std::string VisibleHelpText() {
  std::string All;
  for (const TPage& P : Pages())
    All += HtmlToText(P.Html) + ' ';
  return std::regex_replace(All, std::regex("\\s+"), " ");
}

// The string literals of a C++ source with Russian letters in them, escapes
// resolved; comments are not code, so what they quote does not count.
std::vector<std::string> RussianLiterals(const std::string& Source) {
  std::vector<std::string> Result;
  for (size_t I = 0; I < Source.size(); ++I) {
    if (Source.compare(I, 2, "//") == 0) {
      I = Source.find('\n', I);
      if (I == std::string::npos)
        break;
      continue;
    }
    if (Source[I] == '\'' && I + 2 < Source.size()) { // '"' is no string
      I = Source.find('\'', I + (Source[I + 1] == '\\' ? 3 : 2));
      if (I == std::string::npos)
        break;
      continue;
    }
    if (Source[I] != '"')
      continue;
    std::string S;
    for (++I; I < Source.size() && Source[I] != '"'; ++I) {
      if (Source[I] == '\\' && I + 1 < Source.size()) {
        const char E = Source[++I];
        S += E == 'r' ? '\r' : E == 'n' ? '\n' : E;
      } else {
        S += Source[I];
      }
    }
    if (S.find('\xD0') != std::string::npos || S.find('\xD1') != std::string::npos)
      Result.push_back(S);
  }
  return Result;
}

// A message as a pattern over the help's text: each printf conversion stands
// for whatever the help writes in its place ("…", an example), the line break
// between two sentences for any blank.
std::regex MessagePattern(const std::string& Message) {
  static const std::regex Conversion("%[-+ #0-9.*]*(?:ll|l|h)?[sdigfu]");
  std::string Pattern;
  std::string Rest = Message;
  std::smatch M;
  const auto Escape = [](const std::string& Text) {
    static const std::regex Special("[.^$|()\\[\\]{}*+?\\\\]");
    std::string S = std::regex_replace(Text, Special, "\\$&");
    return std::regex_replace(S, std::regex("\\s+"), "\\s+");
  };
  while (std::regex_search(Rest, M, Conversion)) {
    Pattern += Escape(M.prefix().str()) + ".{1,40}?";
    Rest = M.suffix().str();
  }
  Pattern += Escape(Rest);
  return std::regex(Pattern);
}

std::vector<std::string> InterpreterSources() {
  std::vector<std::string> Files;
  for (const auto& Entry : std::filesystem::directory_iterator(SOURCE_DIR "/Flowrun"))
    // The debugger's own texts (its explanations of an error, a breakpoint's
    // condition) are no messages of the interpreter.
    if (Entry.path().extension() == ".cpp" && Entry.path().stem() != "Flowrun_Explain" &&
        Entry.path().stem() != "Flowrun_Debugger")
      Files.push_back(Entry.path().string());
  // The messages of the line language, which the interpreter raises.
  Files.push_back(SOURCE_DIR "/Flowlang/Flowlang_Messages.cpp");
  Files.push_back(SOURCE_DIR "/Corekit/Parser.cpp");
  Files.push_back(SOURCE_DIR "/Corekit/Conditions.cpp");
  return Files;
}

} // namespace

TEST(HelpPagesTest, EveryInterpreterMessageIsExplained) {
  const std::string Help = VisibleHelpText();
  int Count = 0;
  for (const std::string& File : InterpreterSources())
    for (const std::string& Message : RussianLiterals(Testing::ReadFileBytes(File))) {
      ++Count;
      EXPECT_TRUE(std::regex_search(Help, MessagePattern(Message)))
          << "the help does not explain \"" << Message << "\" from " << File;
    }
  // The messages of the machine, the storage, the processors and the canvas
  // at the least; fewer means the sources were not read.
  EXPECT_GE(Count, 20);
}

TEST(HelpPagesTest, MessagePatternsStandForWhatTheHelpWrites) {
  EXPECT_TRUE(std::regex_search(std::string("Ошибка при вычислении \"1/0\". Неверное число."),
                                MessagePattern("Ошибка при вычислении \"%s\".\r\n%s")));
  EXPECT_TRUE(std::regex_search(std::string("Значение … выходит за допустимый диапазон."),
                                MessagePattern("Значение %lld выходит за допустимый диапазон.")));
  EXPECT_FALSE(std::regex_search(std::string("Значение выходит за допустимый диапазон."),
                                 MessagePattern("Значение %lld выходит за допустимый диапазон.")));
  EXPECT_EQ(RussianLiterals("f(\"a\", '\"'); throw E(\"Ошибка \\\"%s\\\".\\r\\n%s\", \"b\");\n"
                            "// raises \"Синтаксическая ошибка.\"\nreturn \"Неверное число.\";"),
            (std::vector<std::string>{"Ошибка \"%s\".\r\n%s", "Неверное число."}));
}

TEST(HelpPagesTest, EveryExampleRunsAsItSays) {
  TTempDir Dir;
  int Count = 0, Errors = 0, Outputs = 0;
  for (const TPage& P : Pages()) {
    for (const THelpExample& E : ParseHelpExamples(P.Html, P.Name)) {
      SCOPED_TRACE(E.Where + ":\n" + E.Chart);
      TAlgorithm Alg;
      ASSERT_NO_THROW(BuildHelpChart(Alg, E.Chart, E.Where));
      const std::string File = Dir.Path("example" + std::to_string(++Count) + ".alg");
      Algtool::SaveAlgorithmFile(Alg, File);
      const auto R = RunProcess(ALGTOOL_PATH, {"run", File, "--max-steps", "100000"}, E.Input);
      if (!E.Error.empty()) {
        ++Errors;
        EXPECT_EQ(R.ExitStatus, 1);
        EXPECT_NE(R.Err.find(E.Error), std::string::npos) << "expected the error\n"
                                                          << E.Error << "\nthe run said\n"
                                                          << R.Err;
      } else {
        EXPECT_EQ(R.ExitStatus, 0) << R.Err;
        EXPECT_EQ(R.Err, "");
      }
      if (E.HasOutput) {
        ++Outputs;
        EXPECT_EQ(R.Out, E.Output);
      }
    }
  }
  EXPECT_GE(Errors, 20);
  EXPECT_GE(Outputs, 15);
}

TEST(HelpPagesTest, PicturesAndLinksLeadSomewhere) {
  std::set<std::string> PageNames, Anchors, Pictures;
  for (const TPage& P : Pages()) {
    PageNames.insert(P.Name);
    static const std::regex Anchor("<a name=\"([^\"]+)\">");
    for (auto It = std::sregex_iterator(P.Html.begin(), P.Html.end(), Anchor);
         It != std::sregex_iterator(); ++It)
      Anchors.insert(P.Name + "#" + (*It)[1].str());
    for (const THelpExample& E : ParseHelpExamples(P.Html, P.Name))
      if (!E.Picture.empty())
        Pictures.insert(E.Picture);
  }
  for (const TPage& P : Pages()) {
    static const std::regex Picture("(?:src|background)=\"pictures/([^\"]+)\\.png\"");
    for (auto It = std::sregex_iterator(P.Html.begin(), P.Html.end(), Picture);
         It != std::sregex_iterator(); ++It)
      EXPECT_TRUE(Pictures.count((*It)[1].str()))
          << P.Name << " shows " << (*It)[0].str() << ", which no example draws";
    static const std::regex Link("href=\"([^\"#]*)(?:#([^\"]*))?\"");
    for (auto It = std::sregex_iterator(P.Html.begin(), P.Html.end(), Link);
         It != std::sregex_iterator(); ++It) {
      const std::string Target = (*It)[1].str().empty() ? P.Name : (*It)[1].str();
      EXPECT_TRUE(PageNames.count(Target)) << P.Name << " links to " << (*It)[0].str();
      if ((*It)[2].matched) {
        EXPECT_TRUE(Anchors.count(Target + "#" + (*It)[2].str()))
            << P.Name << " links to " << (*It)[0].str();
      }
    }
  }
  EXPECT_GE(Pictures.size(), 8u);
}

TEST(HelpPagesTest, ChartsAreBuiltAsWritten) {
  TAlgorithm Alg;
  BuildHelpChart(Alg,
                 "Ввод-вывод: Ввод A\n"
                 "Цикл с параметром: I=1,3,1\n"
                 "  Ветвление: A>I\n"
                 "    да:\n"
                 "      Блок вычислений: A=A-1 | B=2\n"
                 "    нет:\n"
                 "  Блок вычислений: C=I\n"
                 "Цикл с постусловием: A<0\n",
                 "test");
  TAlgBlock* Main = Alg.GetRoot()->GetBody();
  ASSERT_EQ(Main->GetBlockCount(), 3);
  auto* For = dynamic_cast<TForAlgBlock*>(Main->GetBlocks(1));
  ASSERT_TRUE(For);
  ASSERT_EQ(For->GetBody()->GetBlockCount(), 2);
  auto* If = dynamic_cast<TIfAlgBlock*>(For->GetBody()->GetBlocks(0));
  ASSERT_TRUE(If);
  ASSERT_EQ(If->GetYesBranch()->GetBlockCount(), 1);
  EXPECT_EQ(Algtool::DescribeBlock(If->GetYesBranch()->GetBlocks(0)),
            "Блок вычислений: A=A-1 | B=2");
  EXPECT_EQ(If->GetNoBranch()->GetBlockCount(), 0);
  EXPECT_EQ(Algtool::DescribeBlock(For->GetBody()->GetBlocks(1)), "Блок вычислений: C=I");
  EXPECT_TRUE(dynamic_cast<TUntilAlgBlock*>(Main->GetBlocks(2)));
}

TEST(HelpPagesTest, MistakesInAChartNameThePageAndLine) {
  const auto Error = [](const std::string& Chart) {
    TAlgorithm Alg;
    try {
      BuildHelpChart(Alg, Chart, "page.html, строка 7");
    } catch (const Exception& E) {
      return E.Message();
    }
    return std::string("no error");
  };
  EXPECT_EQ(Error("Блок вычислений: A=1\nБлок: B=2\n"),
            "page.html, строка 7, строка 2 примера: нет блока \"Блок\".");
  EXPECT_EQ(Error(" Блок вычислений: A=1\n"),
            "page.html, строка 7, строка 1 примера: отступ должен быть чётным числом пробелов.");
  EXPECT_EQ(Error("Блок вычислений: A=1\n  Блок вычислений: B=1\n"),
            "page.html, строка 7, строка 2 примера: лишний отступ.");
  EXPECT_EQ(Error("Цикл с параметром: I=1,2,1\n  да:\n"),
            "page.html, строка 7, строка 2 примера: \"да:\" стоит не под ветвлением.");
  EXPECT_EQ(Error("Ветвление: A>1\n  да:\n  Блок вычислений: B=1\n"),
            "page.html, строка 7, строка 3 примера: лишний отступ.");
}

TEST(HelpPagesTest, ExamplesTakeTheirInputOutputAndErrorBlocks) {
  const auto Examples = ParseHelpExamples("<p>x</p><pre class=\"alg\" id=\"pic-dot\">\n"
                                          "Блок вычислений: тчк(1,2),3\n</pre>\n"
                                          "<pre class=\"in\">\n1\n</pre><pre class=\"out\">\n"
                                          "A &lt; B &amp;&#32;C\n</pre>"
                                          "<pre class=\"alg\">Ветвление: A&gt;B</pre>\n"
                                          "<pre class=\"err\">\nНеверное условие.\n</pre>",
                                          "p.html");
  ASSERT_EQ(Examples.size(), 2u);
  EXPECT_EQ(Examples[0].Picture, "dot");
  EXPECT_EQ(Examples[0].Chart, "Блок вычислений: тчк(1,2),3\n");
  EXPECT_EQ(Examples[0].Input, "1\n");
  EXPECT_EQ(Examples[0].Output, "A < B & C\n");
  EXPECT_TRUE(Examples[0].HasOutput);
  EXPECT_EQ(Examples[1].Name, "p.html:8");
  EXPECT_EQ(Examples[1].Chart, "Ветвление: A>B\n");
  EXPECT_EQ(Examples[1].Error, "Неверное условие.");
  EXPECT_FALSE(Examples[1].HasOutput);
  EXPECT_THROW(ParseHelpExamples("<pre class=\"out\">1</pre>", "p.html"), Exception);
  EXPECT_THROW(ParseHelpExamples("<pre class=\"alg\">", "p.html"), Exception);
}

TEST(HelpPagesTest, EveryBlockKindHasItsTopicAndItsNameInTheCharts) {
  std::set<std::string> Topics;
  for (const TPage& P : Pages()) {
    Topics.insert(P.Name);
    static const std::regex Anchor("<a name=\"([^\"]+)\">");
    for (auto It = std::sregex_iterator(P.Html.begin(), P.Html.end(), Anchor);
         It != std::sregex_iterator(); ++It)
      Topics.insert(P.Name + "#" + (*It)[1].str());
  }
  std::set<std::string> Own;
  for (int I = 0; I < AlgBlockKindCount; ++I) {
    const TAlgBlockKindInfo& Info = AlgBlockKindInfo(AlgBlockKindAt(I));
    SCOPED_TRACE(Info.Name);
    EXPECT_TRUE(Topics.count(Info.HelpTopic)) << Info.HelpTopic << " is in no page";
    if (!Info.Placed)
      continue;
    // A block a user places has a section of its own, and the charts of the
    // pages name it as "algtool show" does.
    EXPECT_TRUE(Own.insert(Info.HelpTopic).second) << Info.HelpTopic;
    TAlgorithm Alg;
    BuildHelpChart(Alg, std::string(Info.Name) + ": X=1\n", "test");
    ASSERT_EQ(Alg.GetRoot()->GetBody()->GetBlockCount(), 1);
    const TAlgBlock* Block = Alg.GetRoot()->GetBody()->GetBlocks(0);
    EXPECT_EQ(Block->GetClass(), Info.Class);
    EXPECT_EQ(Algtool::DescribeBlock(Block), std::string(Info.Name) + ": X=1");
  }
  EXPECT_EQ(Own.size(), 6u);
}
