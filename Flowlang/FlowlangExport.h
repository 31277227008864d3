#pragma once

// Symbols of the Flowlang shared library are hidden unless marked.
#define FLOWLANG_API __attribute__((visibility("default")))
