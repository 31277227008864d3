#pragma once

// Symbols of the CorekitUi shared library are hidden unless marked.
#define COREKITUI_API __attribute__((visibility("default")))
