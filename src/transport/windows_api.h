#pragma once

// windows.h without its rarely used parts, included the same way by every Windows source here.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
