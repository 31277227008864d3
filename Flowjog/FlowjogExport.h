#pragma once

// Symbols of the Flowjog shared library are hidden unless marked.
#define FLOWJOG_API __attribute__((visibility("default")))
