// Included before every C++ source of the shipped programs. The library holds compiled copies of
// std::string's members (and of other common templates) that were built with exceptions; used, they
// pull the exception runtime into programs built without it. Turning the extern template
// declarations off makes each program instantiate its own, under its own flags. The library's
// configuration header sets the switch unconditionally, so it is reset here, after that header.
#pragma once
#include <bits/c++config.h>
#undef _GLIBCXX_EXTERN_TEMPLATE
#define _GLIBCXX_EXTERN_TEMPLATE 0
