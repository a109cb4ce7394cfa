// <windows.h> for the adapters, without the A/W macros whose names the ports use for their methods
// (LoadString, OpenMutex, CreateMutex, FindWindow): the adapters call the A functions by their full names.
#pragma once
#include <windows.h>

#undef LoadString
#undef OpenMutex
#undef CreateMutex
#undef FindWindow
