#pragma once

// "algtool check" checks through the library the algorithm window shares.

#include "Algtool_TestFile.h"
#include "Flowcheck/Flowcheck_Check.h"
