#pragma once

// The algorithm application module: what the shell loads from the Flowapp
// plug-in to offer algorithm documents.

#include "FlowappExport.h"

#include "Environment/Main.h"

namespace Deskbay {

class FLOWAPP_API TFlowappAppModule : public TAppModule {
public:
  // Registers the algorithm document kind and opens one untitled algorithm.
  TFlowappAppModule(const TAppModuleClass& Class, const std::string& Name);
  const char* ClassName() const override { return "TFlowappAppModule"; }

  static const TAppModuleClass& StaticClass();
};

} // namespace Deskbay

// The plug-in's one entry point, found by the shell under this plain name.
extern "C" FLOWAPP_API const Deskbay::TAppModuleClass* GetAppModuleClass();
