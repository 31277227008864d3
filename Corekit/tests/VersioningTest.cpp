#include "Corekit/MiscUtils_Versioning.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace Deskbay;

namespace {

// Records every notice it hears as "<name>:<sender>" in a shared log.
struct TRecorder : IOnNotify {
  TRecorder(std::vector<std::string>& Log, std::string Name) : Log(Log), Name(std::move(Name)) {}
  void Notify(TObject* Sender) override {
    Log.push_back(Name);
    LastSender = Sender;
  }
  std::vector<std::string>& Log;
  std::string Name;
  TObject* LastSender = nullptr;
};

// A versioned object with two aspects beyond its main one.
struct TThreeAspects : TVersionedObjectEx {
  TThreeAspects() : Second(new TAspectController(this)), Third(new TAspectController(this)) {}
  ~TThreeAspects() override {
    delete Third;
    delete Second;
  }
  TAspectController* Second;
  TAspectController* Third;
};

} // namespace

TEST(Versioning, BracketsReportEachChangedAspectOnceInCreationOrder) {
  std::vector<std::string> Log;
  TThreeAspects Obj;
  TRecorder Main(Log, "main"), Second(Log, "second"), Third(Log, "third");
  Obj.AddListener(&Main);
  Obj.Second->AddListener(&Second);
  Obj.Third->AddListener(&Third);
  EXPECT_EQ(Obj.GetAspectCount(), 3);

  // Without a bracket every change is heard at once.
  Obj.Changed();
  Obj.Changed();
  Obj.Changed();
  EXPECT_EQ(Log.size(), 3u);
  Log.clear();

  // Changed in reverse creation order, several times each, over nested brackets.
  Obj.BeginModify();
  Obj.BeginModify();
  Obj.Third->Changed();
  Obj.Second->Changed();
  Obj.Changed();
  Obj.Changed();
  Obj.Third->Changed();
  Obj.EndModify();
  EXPECT_TRUE(Log.empty()) << "an inner bracket reports nothing";
  EXPECT_TRUE(Obj.GetModifying());
  Obj.EndModify();
  EXPECT_EQ(Log, (std::vector<std::string>{"main", "second", "third"}));
  EXPECT_EQ(Main.LastSender, &Obj) << "the sender is the object, not its aspect";
  EXPECT_EQ(Obj.GetVersion(), 6u);

  // Only the aspects that moved notify.
  Log.clear();
  Obj.BeginModify();
  Obj.Second->Changed();
  Obj.EndModify();
  EXPECT_EQ(Log, (std::vector<std::string>{"second"}));

  Obj.RemoveListener(&Main);
  Obj.Changed();
  EXPECT_EQ(Log.size(), 1u);
}

TEST(Versioning, EndModifyWithoutBeginFailsAndKeepsCount) {
  TVersionManager M;
  try {
    M.EndModify();
    FAIL() << "expected an assertion failure";
  } catch (const EAssertionFailed& E) {
    EXPECT_EQ(E.Message(), "EndModify: ModifyLockCount is already 0.");
  }
  EXPECT_EQ(M.GetModifyLockCount(), 0);
  M.BeginModify();
  M.EndModify();
  EXPECT_THROW(M.EndModify(), EAssertionFailed);
}

TEST(Versioning, TriggerPublishesPendingChangesAndMovesTheBaseline) {
  std::vector<std::string> Log;
  TVersionedObjectEx Obj;
  TRecorder R(Log, "r");
  Obj.AddListener(&R);

  Obj.TriggerNotifications();
  EXPECT_TRUE(Log.empty()) << "outside a bracket the trigger does nothing";

  Obj.BeginModify();
  Obj.Changed();
  Obj.TriggerNotifications();
  EXPECT_EQ(Log.size(), 1u);
  Obj.TriggerNotifications();
  EXPECT_EQ(Log.size(), 1u) << "nothing new since the last trigger";
  Obj.EndModify();
  EXPECT_EQ(Log.size(), 1u) << "closing reports only changes after the trigger";

  Obj.BeginModify();
  Obj.Changed();
  Obj.TriggerNotifications();
  Obj.Changed();
  Obj.EndModify();
  EXPECT_EQ(Log.size(), 3u);
}

TEST(Versioning, DirtyFollowsTheMainVersion) {
  std::vector<std::string> Log;
  TVersionedObjectEx Obj;
  TRecorder R(Log, "r");
  Obj.AddListener(&R);
  EXPECT_FALSE(Obj.GetDirty());
  Obj.Changed();
  EXPECT_TRUE(Obj.GetDirty());
  Obj.SetDirty(false);
  EXPECT_FALSE(Obj.GetDirty());
  const uint64_t Clean = Obj.GetVersion();

  Obj.SetDirty(true);
  EXPECT_TRUE(Obj.GetDirty());
  EXPECT_EQ(Log.size(), 2u) << "forcing dirty is a real, heard change";

  Obj.SetVersion(Clean);
  EXPECT_FALSE(Obj.GetDirty());
  EXPECT_EQ(Log.size(), 2u) << "SetVersion notifies nobody";

  // Changed and set back inside a bracket: nothing to report.
  Obj.BeginModify();
  Obj.Changed();
  Obj.SetVersion(Clean);
  Obj.EndModify();
  EXPECT_EQ(Log.size(), 2u);

  // 64-bit versions carry past 32 bits.
  Obj.SetVersion(0xFFFFFFFFull);
  Obj.Changed();
  EXPECT_EQ(Obj.GetVersion(), 0x100000000ull);
}

TEST(Versioning, VersionedObjectFiresOnChangeThroughItsOwnListener) {
  TVersionedObject Obj;
  TObject* Sender = nullptr;
  int Calls = 0;
  Obj.OnChange = [&](TObject* S) {
    Sender = S;
    ++Calls;
  };
  Obj.BeginModify();
  Obj.Changed();
  Obj.Changed();
  EXPECT_EQ(Calls, 0);
  Obj.EndModify();
  EXPECT_EQ(Calls, 1);
  EXPECT_EQ(Sender, &Obj);
}

TEST(Versioning, AspectsOfAManagerAreFreedWithIt) {
  auto* M = new TVersionManager;
  auto* A = new TAspectController(M);
  new TAspectController(M);
  EXPECT_EQ(M->GetAspectCount(), 2);
  delete A; // leaves the list on its own
  EXPECT_EQ(M->GetAspectCount(), 1);
  delete M; // frees the other; the sanitizer run proves there is no leak

  // An aspect of a plain object notifies with that object as sender.
  std::vector<std::string> Log;
  TObject Plain;
  TAspectController Free(&Plain);
  TRecorder R(Log, "r");
  Free.AddListener(&R);
  Free.Changed();
  EXPECT_EQ(R.LastSender, &Plain);
}

namespace {

// Listener that, when called, removes another listener or adds one.
struct TMeddler : IOnNotify {
  TMeddler(std::vector<std::string>& Log, TVersionedObjectEx& Obj) : Log(Log), Obj(Obj) {}
  void Notify(TObject*) override {
    Log.push_back("meddler");
    if (ToRemove)
      Obj.RemoveListener(ToRemove);
    if (ToAdd)
      Obj.AddListener(ToAdd);
    ToRemove = ToAdd = nullptr;
  }
  std::vector<std::string>& Log;
  TVersionedObjectEx& Obj;
  IOnNotify* ToRemove = nullptr;
  IOnNotify* ToAdd = nullptr;
};

} // namespace

TEST(Versioning, ListenersChangedDuringAPassFollowTheDocumentedRule) {
  std::vector<std::string> Log;
  TVersionedObjectEx Obj;
  TRecorder First(Log, "first"), Last(Log, "last"), Late(Log, "late");
  TMeddler Meddler(Log, Obj);
  Obj.AddListener(&First);
  Obj.AddListener(&Meddler);
  Obj.AddListener(&Last);

  // Removing a listener whose turn has not come: it is skipped.
  Meddler.ToRemove = &Last;
  Meddler.ToAdd = &Late;
  Obj.Changed();
  EXPECT_EQ(Log, (std::vector<std::string>{"first", "meddler"}));

  // The listener added during the pass hears the next one.
  Log.clear();
  Obj.Changed();
  EXPECT_EQ(Log, (std::vector<std::string>{"first", "meddler", "late"}));

  // Removing one already called changes nothing for the rest of the pass.
  Log.clear();
  Meddler.ToRemove = &First;
  Obj.Changed();
  EXPECT_EQ(Log, (std::vector<std::string>{"first", "meddler", "late"}));
}

TEST(Versioning, ListenerErrorStopsThePassAndLeavesTheBracketClosed) {
  struct TThrower : IOnNotify {
    void Notify(TObject*) override { throw Exception("boom"); }
  } Thrower;
  std::vector<std::string> Log;
  TRecorder After(Log, "after");
  TVersionedObjectEx Obj;
  Obj.AddListener(&Thrower);
  Obj.AddListener(&After);
  Obj.BeginModify();
  Obj.Changed();
  EXPECT_THROW(Obj.EndModify(), Exception);
  EXPECT_EQ(Obj.GetModifyLockCount(), 0);
  EXPECT_TRUE(Log.empty());
}

TEST(Versioning, ModifyGuardClosesOnEveryWayOut) {
  struct TThrower : IOnNotify {
    void Notify(TObject*) override { throw Exception("listener"); }
  } Thrower;
  std::vector<std::string> Log;
  TRecorder Heard(Log, "heard");
  TVersionedObjectEx Obj;
  Obj.AddListener(&Heard);

  {
    TModifyGuard Guard(Obj);
    TModifyGuard Inner(&Obj);
    Obj.Changed();
    Obj.Changed();
  }
  EXPECT_EQ(Log, (std::vector<std::string>{"heard"})) << "nested guards notify once";
  EXPECT_EQ(Obj.GetModifyLockCount(), 0);

  // Leaving by an exception closes the bracket and lets the exception through.
  Log.clear();
  try {
    TModifyGuard Guard(Obj);
    Obj.Changed();
    throw Exception("work");
  } catch (const Exception& E) {
    EXPECT_EQ(E.Message(), "work");
  }
  EXPECT_EQ(Obj.GetModifyLockCount(), 0);
  EXPECT_EQ(Log, (std::vector<std::string>{"heard"}));

  // A listener failing on the normal way out is passed on; while the work
  // already failed, the work's error is the one that arrives.
  Obj.RemoveListener(&Heard);
  Obj.AddListener(&Thrower);
  try {
    TModifyGuard Guard(Obj);
    Obj.Changed();
  } catch (const Exception& E) {
    EXPECT_EQ(E.Message(), "listener");
  }
  try {
    TModifyGuard Guard(Obj);
    Obj.Changed();
    throw Exception("work");
  } catch (const Exception& E) {
    EXPECT_EQ(E.Message(), "work");
  }
  EXPECT_EQ(Obj.GetModifyLockCount(), 0);

  TModifyGuard<TVersionedObjectEx> Nothing(nullptr);
}

namespace {

struct TDestroyRecorder : TSolidInterfacedObject, IOnDestroy {
  TDestroyRecorder(std::vector<std::string>& Log, std::string Name)
      : Log(Log), Name(std::move(Name)) {}
  void OnDestroying(TObject*) override { Log.push_back(Name); }
  std::vector<std::string>& Log;
  std::string Name;
};

struct TRenameRecorder : TSolidInterfacedObject, IOnRename {
  explicit TRenameRecorder(std::vector<std::string>& Log) : Log(Log) {}
  void OnRenaming(TObject*, const std::string& N) override { Log.push_back("renaming " + N); }
  void OnRename(TObject*, const std::string& N) override { Log.push_back("renamed " + N); }
  std::vector<std::string>& Log;
};

} // namespace

TEST(Sinks, CalledLastToFirstWithIndexChecks) {
  std::vector<std::string> Log;
  TDestroySinks Sinks;
  TDestroyRecorder A(Log, "a"), B(Log, "b"), C(Log, "c");
  Sinks.Add(&A);
  Sinks.Add(&B);
  Sinks.Add(&C);
  EXPECT_TRUE(Sinks.Present(&B));
  Sinks.SendOnDestroying(&Sinks);
  EXPECT_EQ(Log, (std::vector<std::string>{"c", "b", "a"}));

  Sinks.Remove(&B);
  EXPECT_FALSE(Sinks.Present(&B));
  EXPECT_EQ(Sinks.GetCount(), 2);
  EXPECT_EQ(Sinks.GetSinks(1), static_cast<IInterface*>(&C));
  try {
    Sinks.GetSinks(2);
    FAIL();
  } catch (const Exception& E) {
    EXPECT_EQ(E.Message(), "TSinks.CheckIndex: Bad index: 2");
  }
  EXPECT_THROW(Sinks.GetSinks(-1), Exception);

  // A sink that does not hear destroy notices is refused, not called blindly.
  TRenameRecorder Renamer(Log);
  EXPECT_THROW(Sinks.Add(&Renamer), EInvalidCast);
  EXPECT_EQ(Sinks.GetCount(), 2);

  Log.clear();
  TRenameSinks Renames;
  Renames.Add(&Renamer);
  Renames.SendOnRenaming(&Renames, "x");
  Renames.SendOnRename(&Renames, "x");
  EXPECT_EQ(Log, (std::vector<std::string>{"renaming x", "renamed x"}));
}
