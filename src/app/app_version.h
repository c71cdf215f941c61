#pragma once
// The program's version, shown by --version and in the About box's resources.

#define ZET_VELTRAN_VERSION "1.0.0"
