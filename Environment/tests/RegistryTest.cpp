// The three registries: order, categories, duplicates and lifetime.

#include "Environment/ModuleReg.h"

#include "Corekit/SysUtils.h"

#include <gtest/gtest.h>

using namespace Deskbay;

namespace {

struct TNamedClass : TModuleClass {
  explicit TNamedClass(const char* N) : Name(N) {}
  const char* ClassName() const override { return Name; }
  const char* Name;
};

struct TProvider : IModuleDescription, IModuleAction {
  std::string GetName() override { return "p"; }
  std::string GetCaption() override { return "p"; }
  void Execute() override {}
};

std::string MessageOf(const std::function<void()>& Fn) {
  try {
    Fn();
  } catch (const Exception& E) {
    return E.Message();
  }
  return "(no error)";
}

TEST(RegistryTest, ClassesByCategoryInOrderAndOnce) {
  TNamedClass A("TA"), B("TB"), C("TC");
  RegisterModuleClass(&A, CATID_EDITOR);
  RegisterModuleClass(&B, OCATID_LIBRARY);
  RegisterModuleClass(&C, CATID_EDITOR);

  std::vector<const TModuleClass*> List{&B};
  GetModuleClasses(CATID_EDITOR, List);
  EXPECT_EQ(List, (std::vector<const TModuleClass*>{&A, &C}));

  EXPECT_EQ(MessageOf([&] { RegisterModuleClass(&A, ICATID_NEW_ITEMS); }),
            "Класс \"TA\" уже зарегистрирован.");
  UnregisterModuleClass(&A);
  UnregisterModuleClass(&A); // absent: ignored
  RegisterModuleClass(&A, CATID_EDITOR);
  GetModuleClasses(CATID_EDITOR, List);
  EXPECT_EQ(List, (std::vector<const TModuleClass*>{&C, &A}));

  for (auto* X : {&A, &B, &C})
    UnregisterModuleClass(X);
  GetModuleClasses(CATID_EDITOR, List);
  EXPECT_TRUE(List.empty());
}

TEST(RegistryTest, InterfacesAreHeldAndObjectsAreNot) {
  auto Provider = std::make_shared<TProvider>();
  std::weak_ptr<TProvider> Watch = Provider;
  TModuleInterfaceRef Ref = Provider;
  RegisterModuleInterface(Ref, ICATID_NEW_ITEMS);
  EXPECT_EQ(MessageOf([&] { RegisterModuleInterface(Ref, CATID_EDITOR); }),
            "Интерфейс уже зарегистрирован.");
  Provider.reset();
  Ref.reset();
  std::vector<TModuleInterfaceRef> List;
  GetModuleInterfaces(ICATID_NEW_ITEMS, List);
  ASSERT_EQ(List.size(), 1u);
  EXPECT_FALSE(Watch.expired());
  TModuleInterfaceRef Held = List[0];
  List.clear();
  Held.reset();
  UnregisterModuleInterface(TModuleInterfaceRef(Watch.lock()));
  EXPECT_TRUE(Watch.expired());

  int X = 0, Y = 0;
  RegisterModuleObject(&X, OCATID_LIBRARY);
  RegisterModuleObject(&Y, CATID_EDITOR);
  EXPECT_EQ(MessageOf([&] { RegisterModuleObject(&X, CATID_EDITOR); }),
            "Объект уже зарегистрирован.");
  std::vector<const void*> Objects;
  GetModuleObjects(OCATID_LIBRARY, Objects);
  EXPECT_EQ(Objects, (std::vector<const void*>{&X}));
  UnregisterModuleObject(&X);
  UnregisterModuleObject(&Y);
  GetModuleObjects(OCATID_LIBRARY, Objects);
  EXPECT_TRUE(Objects.empty());
}

} // namespace
