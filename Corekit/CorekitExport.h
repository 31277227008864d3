#pragma once

// Symbols of the Corekit shared library are hidden unless marked.
#define COREKIT_API __attribute__((visibility("default")))
