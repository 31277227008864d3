#pragma once

// Symbols of the Flowimport shared library are hidden unless marked.
#define FLOWIMPORT_API __attribute__((visibility("default")))
