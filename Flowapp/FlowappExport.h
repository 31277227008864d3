#pragma once

// Symbols of the Flowapp plug-in are hidden unless marked.
#define FLOWAPP_API __attribute__((visibility("default")))
