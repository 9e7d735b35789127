/* What the XmlRpc++ socket code expects from its parent project's compat.h
   on Windows: the Winsock version it asks WSAStartup for. */
#pragma once
#define WSA_MAJOR 2
#define WSA_MINOR 2
