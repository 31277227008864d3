#pragma once

// The teacher's test file, read by the library the algorithm window shares.

#include "Flowcheck/Flowcheck_TestFile.h"
