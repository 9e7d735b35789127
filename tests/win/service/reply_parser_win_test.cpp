// The shared reply-parser suite against MSXML's SAX reader.
#include "common/reply_parser_suite.cpp"
