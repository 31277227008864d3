#pragma once

// Symbols of the Flowrun shared library are hidden unless marked.
#define FLOWRUN_API __attribute__((visibility("default")))
