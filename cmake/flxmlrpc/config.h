/* The XmlRpc++ sources include the configure-made config.h of a Linux build;
   the Windows build needs nothing from it. */
#pragma once
