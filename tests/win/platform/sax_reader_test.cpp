// The shared reader suite against MSXML's SAX reader.
#include "common/sax_suite.cpp"
