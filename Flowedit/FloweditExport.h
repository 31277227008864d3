#pragma once

// Symbols of the Flowedit shared library are hidden unless marked.
#define FLOWEDIT_API __attribute__((visibility("default")))
