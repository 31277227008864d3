#include "Flowimport_Errors.h"

namespace Deskbay {

namespace {

std::string ImportMessage(const std::string& FileName, int Line, int Column,
                          const std::string& What, const std::string& Hint) {
  std::string M = FileName == "-"    ? std::string("Стандартный ввод")
                  : FileName.empty() ? std::string("Текст из буфера обмена")
                                     : Format("Файл \"%s\"", FileName.c_str());
  if (Line > 0)
    M += Format(", строка %d, столбец %d", Line, Column);
  M += ": " + What;
  if (!Hint.empty())
    M += " " + Hint;
  return M;
}

// The length of the UTF-8 sequence at Text[I], or 0 when none starts there.
size_t Utf8Length(std::string_view Text, size_t I) {
  const auto B = static_cast<unsigned char>(Text[I]);
  size_t N;
  unsigned Min;
  if (B < 0x80)
    return 1;
  if (B >= 0xC2 && B <= 0xDF) {
    N = 2;
    Min = 0x80;
  } else if (B >= 0xE0 && B <= 0xEF) {
    N = 3;
    Min = 0x800;
  } else if (B >= 0xF0 && B <= 0xF4) {
    N = 4;
    Min = 0x10000;
  } else {
    return 0;
  }
  if (I + N > Text.size())
    return 0;
  unsigned Code = B & (0x7F >> N);
  for (size_t K = 1; K < N; ++K) {
    const auto C = static_cast<unsigned char>(Text[I + K]);
    if ((C & 0xC0) != 0x80)
      return 0;
    Code = (Code << 6) | (C & 0x3F);
  }
  if (Code < Min || Code > 0x10FFFF || (Code >= 0xD800 && Code <= 0xDFFF))
    return 0;
  return N;
}

} // namespace

EImportError::EImportError(const std::string& FileName, int Line, int Column,
                           const std::string& What, const std::string& Hint)
    : Exception(ImportMessage(FileName, Line, Column, What, Hint)), FLine(Line), FColumn(Column),
      FWhat(What), FHint(Hint) {}

std::string SourceDisplayName(const std::string& FileName) {
  return FileName == "-"    ? std::string("стандартный ввод")
         : FileName.empty() ? std::string("текст из буфера обмена")
                            : FileName;
}

int ColumnOf(std::string_view Line, size_t Offset) {
  int Column = 1;
  for (size_t I = 0; I < Offset && I < Line.size(); ++I)
    if ((static_cast<unsigned char>(Line[I]) & 0xC0) != 0x80)
      ++Column;
  return Column;
}

void CheckSourceText(std::string_view Text, const std::string& FileName) {
  int LineNo = 1;
  size_t LineStart = 0;
  size_t I = Text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
  while (I < Text.size()) {
    const char C = Text[I];
    if (C == '\n') {
      ++LineNo;
      LineStart = ++I;
      continue;
    }
    if (I - LineStart >= MaxImportLineBytes)
      throw EImportError(
          FileName, LineNo, 1,
          Format("строка длиннее %zu байт — это не текст программы.", MaxImportLineBytes));
    const auto U = static_cast<unsigned char>(C);
    if ((U < 0x20 && C != '\t' && C != '\r' && C != '\f') || U == 0x7F) {
      const std::string_view Line = Text.substr(LineStart, I - LineStart);
      throw EImportError(FileName, LineNo, ColumnOf(Line, Line.size()),
                         U == 0 ? std::string("нулевой байт — это не текст программы.")
                                : Format("управляющий символ с кодом %u — это не текст программы.",
                                         static_cast<unsigned>(U)));
    }
    const size_t N = Utf8Length(Text, I);
    if (N == 0) {
      const std::string_view Line = Text.substr(LineStart, I - LineStart);
      throw EImportError(FileName, LineNo, ColumnOf(Line, Line.size()),
                         "байты не в кодировке UTF-8: текст программы читается только в UTF-8.");
    }
    I += N;
  }
}

} // namespace Deskbay
