// MSXML class and interface identifiers that MinGW-w64's libuuid lacks. They
// are defined once, in msxml_guids.cpp; add further ones there.
#pragma once

#include <msxml2.h>

// ComPtr::As asks for the interface's __uuidof, which MinGW-w64's <msxml2.h>
// declares for none of the DOM interfaces.
#ifdef __cplusplus
__CRT_UUID_DECL(IXMLDOMNode, 0x2933bf80, 0x7b36, 0x11d2, 0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60)
#endif
