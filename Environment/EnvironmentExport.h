#pragma once

// Symbols of the Environment shared library are hidden unless marked.
#define ENVIRONMENT_API __attribute__((visibility("default")))
