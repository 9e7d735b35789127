// The service-file suite against MSXML's SAX reader and DOM under Wine.
#include "common/config_parser_suite.cpp"
