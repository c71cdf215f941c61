#pragma once
// The program's version, shown by --version and in the About box's resources.

#define ZET_VELTRAN_VERSION "1.0.0"
// The same as four numbers, for the version resource.
#define ZET_VELTRAN_VERSION_NUMBERS 1, 0, 0, 0
