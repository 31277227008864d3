#pragma once

// Symbols of the Flowmodel shared library are hidden unless marked.
#define FLOWMODEL_API __attribute__((visibility("default")))
