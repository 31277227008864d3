#pragma once

// Symbols of the Flowcode shared library are hidden unless marked.
#define FLOWCODE_API __attribute__((visibility("default")))
