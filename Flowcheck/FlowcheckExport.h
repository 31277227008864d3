#pragma once

// Symbols of the Flowcheck shared library are hidden unless marked.
#define FLOWCHECK_API __attribute__((visibility("default")))
