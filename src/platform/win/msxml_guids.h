// MSXML class and interface identifiers that MinGW-w64's libuuid lacks. They
// are defined once, in msxml_guids.cpp; add further ones there.
#pragma once

#include <msxml2.h>
