// The service-file suite against expat and the host's exclusion-list writer.
#include "common/config_parser_suite.cpp"
