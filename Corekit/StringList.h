#pragma once

// A list of text lines that tells its owner of every change.

#include "SysUtils.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace Deskbay {

class COREKIT_API TStringList : public TObject {
public:
  const char* ClassName() const override { return "TStringList"; }

  int GetCount() const { return static_cast<int>(FLines.size()); }
  const std::string& Get(int Index) const;
  void Put(int Index, const std::string& S);
  int Add(const std::string& S);
  void Insert(int Index, const std::string& S);
  void Delete(int Index);
  void Clear();
  void Assign(const TStringList& Source);
  void SetLines(const std::vector<std::string>& Lines);
  const std::vector<std::string>& Lines() const { return FLines; }

  // Lines joined with "\r\n" after each one; setting splits at CR, LF or CRLF.
  std::string GetText() const;
  void SetText(const std::string& Text);

  // Changes between the two calls fire OnChange once, at the outermost end.
  void BeginUpdate();
  void EndUpdate();

  TNotifyEvent OnChange;

  // Names the lines as they are: a new list and every change take a number
  // never given before in this process (a copy carries its source's, as it
  // carries its lines). A reader that keeps what it made of the lines
  // together with this number knows them unchanged while it stays the same.
  std::uint64_t GetChangeStamp() const { return FStamp; }

private:
  void CheckIndex(int Index, bool AllowEnd) const;
  void Changed();

  std::vector<std::string> FLines;
  int FUpdateCount = 0;
  bool FChangedInUpdate = false;
  std::uint64_t FStamp = NewStamp();

  static std::uint64_t NewStamp();
};

} // namespace Deskbay
